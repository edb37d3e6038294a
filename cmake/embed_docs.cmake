# Writes OUT, a C++ source holding every docs/*.md as bytes, so that
# `tarnmake help TOPIC` prints the reference itself. Run as
#   cmake -DDOCS=<folder> -DOUT=<file.cpp> -P embed_docs.cmake
# Bytes, not string literals: the sources are compiled to GBK, the docs
# are UTF-8.
file(GLOB _docs "${DOCS}/*.md")
list(SORT _docs)
set(_body "// Generated from docs/*.md at build time; edit those files instead.\n")
string(APPEND _body "#include \"help_topics.h\"\n\nnamespace tarnmake {\nnamespace {\n")
set(_table "")
set(_n 0)
foreach(_doc IN LISTS _docs)
  get_filename_component(_topic "${_doc}" NAME_WE)
  file(READ "${_doc}" _hex HEX)
  string(LENGTH "${_hex}" _len)
  math(EXPR _size "${_len} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  # Lines of 32 bytes keep the file readable by a compiler's diagnostics.
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" _bytes "${_bytes}")
  string(APPEND _body "const unsigned char kDoc${_n}[] = {${_bytes}0};\n")
  string(APPEND _table "    {\"${_topic}\", reinterpret_cast<const char*>(kDoc${_n}), ${_size}},\n")
  math(EXPR _n "${_n} + 1")
endforeach()
string(APPEND _body "}  // namespace\n\nconst std::vector<HelpTopic>& HelpTopics() {\n")
string(APPEND _body "  static const std::vector<HelpTopic> topics = {\n${_table}  };\n  return topics;\n}\n\n}  // namespace tarnmake\n")
# Rewritten only when it changes, so that a build after a touch compiles nothing.
if(EXISTS "${OUT}")
  file(READ "${OUT}" _old)
  if(_old STREQUAL _body)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${_body}")
