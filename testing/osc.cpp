#include "testing/osc.h"

#include <lo/lo.h>

#include <cstdlib>

namespace testkit {

std::string oscMessage(const char* path, const std::vector<std::string>& args) {
  lo_message m = lo_message_new();
  for (const std::string& arg : args) {
    const std::string value = arg.substr(1);
    if (arg[0] == 'f') lo_message_add_float(m, std::stof(value));
    if (arg[0] == 'd') lo_message_add_double(m, std::stod(value));
    if (arg[0] == 'i') lo_message_add_int32(m, std::stoi(value));
    if (arg[0] == 's') lo_message_add_string(m, value.c_str());
    if (arg[0] == 'T') lo_message_add_true(m);
    if (arg[0] == 'F') lo_message_add_false(m);
  }
  std::size_t size = 0;
  void* bytes = lo_message_serialise(m, path, nullptr, &size);
  std::string out(static_cast<char*>(bytes), size);
  std::free(bytes);
  lo_message_free(m);
  return out;
}

}  // namespace testkit
