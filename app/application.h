#ifndef VELUMORA_APP_APPLICATION_H_
#define VELUMORA_APP_APPLICATION_H_

// The live program from banner to exit: options, start-up, the players, the
// console loop and the ordered shutdown. Returns the process's exit status:
// 0, -1 after a failed start-up, 2 for a wrong command line.
int runVelumora(int argc, char** argv);

#endif  // VELUMORA_APP_APPLICATION_H_
