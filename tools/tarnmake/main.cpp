// tarnmake: builds setup packages and installers, and looks into them.
#include <CLI/CLI.hpp>
#include <new>
#include <string>
#include <vector>
#include "commands.h"
#include "host.h"
#include "lint.h"
#include "report.h"

namespace {

int Run(int argc, char** argv) {
  CLI::App app{"tarnmake: builds setup packages and installers, and looks into them"};
  app.name("tarnmake");
  app.require_subcommand(1);
  app.footer("Exit status 0 on success; on any failure non-zero, with one line on standard error.");

  std::string script, output, shell, ui, package, file, dir;
  bool json = false, strict = false, lax = false;
  const char* kStrict = "make every warning an error";
  const char* kLax = "unknown section, key and placeholder names (and unmarked UTF-8) are "
                     "warnings, not errors";

  CLI::App* pkg = app.add_subcommand("package", "Build a setup package from a setup script");
  pkg->add_option("SCRIPT", script, "setup script (SOURCE_PATH values are relative to its folder)")
      ->required();
  pkg->add_option("-o,--output", output, "package file to write")->required();
  pkg->add_flag("--strict", strict, kStrict);
  pkg->add_flag("--lax", lax, kLax)->excludes("--strict");
  pkg->footer("Relative SOURCE_PATH values are taken from the script's folder.");

  CLI::App* inst = app.add_subcommand("installer", "Append a package and a UI script to the shell");
  inst->add_option("--shell", shell, "the setup shell executable")->required();
  inst->add_option("--ui", ui, "setup UI script")->required();
  inst->add_option("--package", package, "setup package")->required();
  inst->add_option("-o,--output", output, "installer to write")->required();

  CLI::App* build = app.add_subcommand("build", "Package a setup script and make the installer");
  build->add_option("SCRIPT", script, "setup script")->required();
  build->add_option("--ui", ui, "setup UI script")->required();
  build->add_option("--shell", shell, "the setup shell executable")->required();
  build->add_option("-o,--output", output, "installer to write")->required();
  build->add_flag("--strict", strict, kStrict);
  build->add_flag("--lax", lax, kLax)->excludes("--strict");

  std::string deflater;
  int level = 0;
  for (CLI::App* sub : {pkg, build}) {
    sub->add_option("--deflate", deflater,
                    "deflate for the items: libdeflate (fast; the default where built in) or "
                    "zlib (the bytes of earlier versions)")
        ->check(CLI::IsMember({"zlib", "libdeflate"}));
    sub->add_option("--level", level,
                    "compression level 1-12 (default: 6 for zlib, " +
                        std::to_string(tarnmake::kDefaultLibdeflateLevel) +
                        " for libdeflate); zlib stops at 9, so 10-12 mean 9 there")
        ->check(CLI::Range(1, 12));
  }

  tarnmake::ScriptOptions so;
  CLI::App* scr = app.add_subcommand("script", "Write a setup script for every file under folders");
  scr->add_option("DIR", so.dirs, "folders whose files are installed, as one tree")->required();
  scr->add_option("-o,--output", so.output,
                  "setup script to write (default: standard output); SOURCE_PATH values are "
                  "relative to its folder");
  scr->add_option("--target", so.target,
                  "where the tree goes: <TARGETDIR> (the default), <WINSYSDIR>, <WINDIR>, "
                  "<SETUPDIR>, or a folder below one");
  scr->add_option("--shortcut", so.shortcuts,
                  "FILE=NAME: a Start-menu shortcut <TARGET_FOLDER>\\NAME.lnk to FILE "
                  "(relative to the tree), or NAME.lnk where NAME begins with a folder "
                  "placeholder (<DESKTOP_FOLDER>\\App); repeatable")
      ->allow_extra_args(false);
  scr->add_option("--reg", so.regs,
                  "registry script (REGEDIT4) imported at install, then deleted; repeatable");
  scr->add_option("--reg-list", so.regLists,
                  "registry list: the keys and values the uninstall removes; repeatable");
  scr->add_option("--run", so.run, "FILE [ARGS]: a file of the tree started after the install, its entry last; "
                  "ARGS that begin with - after a blank")
      ->expected(1, 2);
  scr->add_flag("--wait", so.wait, "wait for the --run program to end, then delete it");
  // A Windows program's arguments (/S) are --run's values, not options.
  scr->allow_windows_style_options(false);
  scr->add_option("--ui", so.ui, "also write a UI script to this file");
  scr->add_option("--product", so.product, "[PRODUCTNAME]: names the Uninstall key");
  scr->add_option("--install-dir", so.installDir,
                  "[TARGETDIR] below Program Files (default: the product name)");
  scr->add_option("--program-folder", so.programFolder,
                  "[TARGETFOLDER], the Start-menu folder (default: the product name)");
  scr->add_option("--version", so.version, "[VERSION]");
  scr->add_option("--publisher", so.publisher, "[PUBLISHER]");
  scr->add_option("--url", so.url, "[URL]");
  scr->add_option("--licence", so.licence, "text file for [LICENCE]; UTF-8 is converted to GBK");
  for (const char* opt : {"--product", "--install-dir", "--program-folder", "--version",
                          "--publisher", "--url", "--licence"})
    scr->get_option(opt)->needs(scr->get_option("--ui"));
  scr->get_option("--ui")->needs(scr->get_option("--product"));
  scr->footer(
      "Files are listed folder by folder in byte order of their names, each with INSTALL_FLAG=0 "
      "unless --reg, --reg-list or --run gives it another; "
      "empty folders are left out. Links, names Windows cannot hold and two names that "
      "differ only in case are refused. Scripts are written in GBK, a character it lacks as "
      "its GB18030 four-byte sequence.");

  CLI::App* list = app.add_subcommand("list", "List the entries of a packet, package or installer");
  list->add_option("FILE", file, "packet, package or installer")->required();
  list->add_flag("--json", json, "one JSON object on standard output");

  CLI::App* extract = app.add_subcommand("extract", "Extract every entry under its target path");
  extract->add_option("FILE", file, "package or installer")->required();
  extract->add_option("-o,--output", dir, "folder to extract into")->required();
  extract->footer(
      "Each file lands under its stored target path, placeholder included: "
      "DIR/<TARGETDIR>/bin/app.exe. Windows allows no \"<\" or \">\" in names, so there "
      "the folder is DIR\\_TARGETDIR_. Padding of protected files is not added.");

  CLI::App* verify = app.add_subcommand("verify", "Decode every entry and check its sizes");
  verify->add_option("FILE", file, "packet, package or installer")->required();

  std::string target, name, uninstaller, sandbox, key;
  CLI::App* install = app.add_subcommand("install", "Install a package or installer without the wizard");
  install->add_option("PACKAGE", file, "setup package or installer")->required();
  install->add_option("--target", target, "install folder, a full Windows path")->required();
  install->add_option("--name", name, "product name: the Uninstall key (default: the file's name)");
  install->add_option("--uninstaller", uninstaller, "uninstaller path (default <WINDIR>\\tsu11.exe)");
  tarnmake::EntryDetails details;
  install->add_option("--version", details.version, "DisplayVersion (default: an installer's [VERSION])");
  install->add_option("--publisher", details.publisher, "Publisher (default: an installer's [PUBLISHER])");
  install->add_option("--url", details.url, "URLInfoAbout (default: an installer's [URL])");
  install->add_option("--sandbox", sandbox, "sandbox root (native builds; default $TARN_SANDBOX_ROOT)");
  install->add_flag("--json", json, "one JSON object on standard output");
  install->footer("Exit status 0 only when no entry failed.");

  CLI::App* uninstall = app.add_subcommand("uninstall", "Remove what an uninstall log lists");
  uninstall->add_option("LOG", file, "the uninstall log (Unistall.tsu in the install folder)")->required();
  uninstall->add_option("--key", key, "Uninstall key to remove when the log cannot be processed");
  uninstall->add_option("--sandbox", sandbox, "sandbox root (native builds; default $TARN_SANDBOX_ROOT)");
  uninstall->add_flag("--json", json, "one JSON object on standard output");

  std::string topic;
  CLI::App* help = app.add_subcommand("help", "Print a reference topic (without one, the list)");
  help->add_option("TOPIC", topic, "setup-script, ui-script, silent, tarnmake...");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string first = argc > 1 ? argv[1] : "";
    if (!first.empty() && first[0] != '-' && app.get_subcommands([&](CLI::App* sub) {
          return sub->get_name() == first;
        }).empty())
      std::fprintf(stderr, "tarnmake: error: unknown subcommand '%s' (see tarnmake --help)\n",
                   first.c_str());
    else
      std::fprintf(stderr, "tarnmake: error: %s (see tarnmake --help)\n", e.what());
    return 2;
  }

  using host::ArgToAnsi;
  tarnmake::SetStrict(strict);
  tarnmake::SetLax(lax);
  if ((*pkg || *build) && !tarnmake::SetEncoding(deflater, level)) return 2;
  if (*pkg) return tarnmake::CmdPackage(ArgToAnsi(script), ArgToAnsi(output));
  if (*inst)
    return tarnmake::CmdInstaller(ArgToAnsi(shell), ArgToAnsi(ui), ArgToAnsi(package),
                                  ArgToAnsi(output));
  if (*build)
    return tarnmake::CmdBuild(ArgToAnsi(script), ArgToAnsi(ui), ArgToAnsi(shell),
                              ArgToAnsi(output));
  if (*scr) {
    // These texts go into the scripts exactly, a character GBK lacks as its
    // four-byte sequence; bytes that are no UTF-8 would become "?".
    std::vector<std::string*> texts = {&so.output, &so.target,    &so.ui,        &so.product,
                                       &so.installDir, &so.programFolder, &so.version,
                                       &so.publisher,  &so.url,           &so.licence};
    for (std::string& d : so.dirs) texts.push_back(&d);
    for (std::vector<std::string>* list : {&so.shortcuts, &so.regs, &so.regLists, &so.run})
      for (std::string& c : *list) texts.push_back(&c);
    for (std::string* v : texts) {
      if (!host::ArgFitsAnsi(*v)) {
        std::fprintf(stderr, "tarnmake: error: '%s' is not UTF-8 text\n", v->c_str());
        return 1;
      }
      *v = ArgToAnsi(*v);
    }
    return tarnmake::CmdScript(so);
  }
  if (*list) return tarnmake::CmdList(ArgToAnsi(file), json);
  if (*extract) return tarnmake::CmdExtract(ArgToAnsi(file), ArgToAnsi(dir));
  if (*verify) return tarnmake::CmdVerify(ArgToAnsi(file));
  if (*install)
    return tarnmake::CmdInstall(ArgToAnsi(file), ArgToAnsi(target), ArgToAnsi(name),
                                ArgToAnsi(uninstaller),
                                {ArgToAnsi(details.version), ArgToAnsi(details.publisher),
                                 ArgToAnsi(details.url)},
                                sandbox, json);
  if (*help) return tarnmake::CmdHelp(topic);
  if (*uninstall) return tarnmake::CmdUninstall(ArgToAnsi(file), ArgToAnsi(key), sandbox, json);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  host::InitConsole();
  // The readers allocate only what the file backs, and the engine handles
  // its own shortages; anything left ends with a line, not an abort.
  try {
    std::vector<std::string> args = host::Arguments(argc, argv);
    std::vector<char*> utf8;
    for (std::string& a : args) utf8.push_back(&a[0]);
    utf8.push_back(nullptr);
    return Run(static_cast<int>(args.size()), utf8.data());
  } catch (const std::bad_alloc&) {
    std::fputs("tarnmake: error: out of memory\n", stderr);
    return 1;
  }
}
