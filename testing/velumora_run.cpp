#include "testing/velumora_run.h"

namespace testkit {

const char kStartedLines[] =
    "Velumora ver 1.0.1\n"
    "initializing...done\n"
    "type 'q' and enter to exit\n";

std::string shutdownLines(int channels) {
  return "terminating all threads...\n"
         "halting " +
         std::to_string(channels) +
         " channels...done.\n"
         "cleaning memory...done\n"
         "audio closed\n"
         "velumora is terminated\n";
}

std::string failedStartOutput(const std::string& messages) {
  return "Velumora ver 1.0.1\ninitializing..." + messages + "Velumora Initialization Failed\n" +
         shutdownLines(0);
}

std::unique_ptr<ChildProcess> startVelumora(const TempDir& dir,
                                            const std::vector<std::string>& args,
                                            const std::vector<std::string>& env) {
  ProcessOptions options;
  options.program = VELUMORA_BINARY;
  options.args = args;
  options.workDir = dir.path();
  options.env.push_back("SDL_AUDIODRIVER=dummy");
  // Later entries win over earlier ones.
  for (const std::string& entry : env) {
    const std::string name = entry.substr(0, entry.find('='));
    for (auto it = options.env.begin(); it != options.env.end();) {
      if (it->substr(0, it->find('=')) == name)
        it = options.env.erase(it);
      else
        ++it;
    }
    options.env.push_back(entry);
  }
  auto child = std::make_unique<ChildProcess>(options);
  if (!child->start()) return nullptr;
  return child;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) {
      lines.push_back(text.substr(begin));
      break;
    }
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

}  // namespace testkit
