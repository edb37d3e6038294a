// help: the reference topics, as the docs folder holds them.
#include <cstdio>
#include <string>
#include "commands.h"
#include "help_topics.h"
#include "host.h"

namespace tarnmake {
namespace {
void ListTopics(std::FILE* out) {
  std::fputs("Topics (tarnmake help TOPIC):\n", out);
  for (const HelpTopic& t : HelpTopics()) std::fprintf(out, "  %s\n", t.name);
}
}  // namespace

int CmdHelp(const std::string& topic) {
  // The files' bytes exactly: no "\r\n" made of their "\n" on Windows.
  host::BinaryStdout();
  if (topic.empty()) {
    ListTopics(stdout);
    return 0;
  }
  for (const HelpTopic& t : HelpTopics()) {
    if (topic != t.name) continue;
    std::fwrite(t.text, 1, t.size, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "tarnmake: error: no help topic '%s'\n", topic.c_str());
  ListTopics(stderr);
  return 2;
}

}  // namespace tarnmake
