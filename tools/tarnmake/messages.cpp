#include "messages.h"
#include <vector>

namespace tarnmake {
namespace {

// Formats as the engine fills them (%s and %d only), and their English.
struct Text {
  const char* original;
  const char* english;
};
const Text kTexts[] = {
    {"不能打开文件'%s'!\n文件可能正在被使用，请关闭文件再试!",
     "cannot open the file '%s'; it may be in use: close it and try again"},
    {"读文件'%s'失败!", "cannot read the file '%s'"},
    {"文件'%s'超过4GB，不能存入安装包!", "the file '%s' is over 4 GB, more than a package holds"},
    {"安装包最多容纳65535个文件项!", "a package holds at most 65535 entries"},
    {"'%s'\n超过255字节，不能存入安装包!", "'%s' is over 255 bytes, more than the package holds"},
    {"没有指定Setup Script File!", "no setup script given"},
    {"没有指定Setup UI Script File!", "no UI script given"},
    {"ini 文件格式错误！", "format error in the script: a section header right after a section's "
                          "lines, without an empty line between"},
    {"不能打开文件'%s'", "cannot open the file '%s'"},
    {"不能通过链接写入'%s'!", "refused to write through a link: '%s'"},
    {"不能建立路径'%s'!", "cannot create the folder '%s'"},
    {"'%s'不是合法的根目录!", "'%s' is not a usable root folder"},
    {"'%s'目录不存在,是否新建目录?", "the folder '%s' does not exist; create it?"},
    {"'%s'路径不存在,是否新建路径?", "the path '%s' does not exist; create it?"},
    {"不能删除系统共用的注册表键!", "a registry key the system shares is not deleted"},
    {"删除文件失败!", "cannot delete the file"},
    {"另有%d项没有删除!", "%d more entries were not deleted"},
    {"文件正在使用,将在重新启动后删除!", "the file is in use; it is deleted when Windows restarts"},
    {"另有%d项将在重新启动后删除!", "%d more entries are deleted when Windows restarts"},
    {"删除注册表键失败!", "cannot delete the registry entry"},
    {"打开卸载信息错误!", "cannot open the uninstall log"},
    {"不是合法的卸载文件!", "not an uninstall log"},
    {"注册'%s'失败!", "cannot register '%s'"},
    {"导入注册表失败!", "cannot import the registry script"},
    {"运行程序'%s'失败!", "cannot run '%s'"},
    {"%s Decode 失败!", "%s: the stored bytes do not decode"},
    {"安装包索引已损坏!", "the package's index is damaged"},
    {"非法安装路径'%s'!", "refused target path '%s'"},
    {"非法安装路径!", "refused target path"},
    {"路径'%s'太长!", "the path '%s' is too long"},
    {"写文件'%s'失败!", "cannot write the file '%s'"},
    {"注册表列表'%s'超过%d行,其余的行被忽略!",
     "the registry list '%s' has over %d lines; the rest are ignored"},
    {"初始化失败!", "initialisation failed"},
    {"脚本格式错误!", "script format error: a shortcut path without \\"},
    {"打开注册表键'%s'失败!", "cannot open the registry key '%s'"},
    {"生成卸载信息错误!", "cannot write the uninstall log"},
    {"产品名称'%s'不合法,没有建立卸载注册表键!",
     "the product name '%s' cannot name an Uninstall key; none was made"},
    {"建立注册表键' %s'失败!", "cannot create the registry key '%s'"},
    {"非法快捷方式路径'%s'!", "refused shortcut path '%s'"},
    {"建立快捷方式失败!", "cannot create the shortcut"},
    {"错误", "error"},
};

// The texts that fill the format's %s and %d, when text is that format.
bool Match(const std::string& format, const std::string& text, std::vector<std::string>* args) {
  std::vector<std::string> pieces;  // literal, then one per placeholder
  size_t start = 0;
  for (;;) {
    size_t p = format.find('%', start);
    while (p != std::string::npos && p + 1 < format.size() && format[p + 1] != 's' &&
           format[p + 1] != 'd')
      p = format.find('%', p + 1);
    if (p == std::string::npos || p + 1 >= format.size()) {
      pieces.push_back(format.substr(start));
      break;
    }
    pieces.push_back(format.substr(start, p - start));
    start = p + 2;
  }
  args->clear();
  if (text.compare(0, pieces[0].size(), pieces[0]) != 0) return false;
  size_t at = pieces[0].size();
  for (size_t i = 1; i < pieces.size(); ++i) {
    const std::string& lit = pieces[i];
    // The last literal ends the text; an inner one is its next occurrence.
    size_t found = i + 1 == pieces.size()
                       ? (text.size() >= at + lit.size() &&
                                  text.compare(text.size() - lit.size(), lit.size(), lit) == 0
                              ? text.size() - lit.size()
                              : std::string::npos)
                       : text.find(lit, at);
    if (found == std::string::npos || found < at) return false;
    args->push_back(text.substr(at, found - at));
    at = found + lit.size();
  }
  return at == text.size();
}

std::string Fill(const char* english, const std::vector<std::string>& args) {
  std::string out, e = english;
  size_t k = 0;
  for (size_t i = 0; i < e.size(); ++i) {
    if (e[i] == '%' && i + 1 < e.size() && (e[i + 1] == 's' || e[i + 1] == 'd') && k < args.size()) {
      out += args[k++];
      ++i;
    } else {
      out += e[i];
    }
  }
  return out;
}

}  // namespace

std::string InEnglish(const std::string& text) {
  std::vector<std::string> args;
  for (const Text& t : kTexts)
    if (Match(t.original, text, &args)) return Fill(t.english, args) + " (" + text + ")";
  return text;
}

}  // namespace tarnmake
