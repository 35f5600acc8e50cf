#include "driver/command_line.h"

#include "config/defines_parser.h"
#include "base/string_utils.h"
#include "driver/run_state.h"
#include "engine/repair_plan.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Options that choose what the run does instead of an install; the value,
// when given, is the folder the game was installed to.
struct ModeOption {
  const char* name;
  RunMode mode;
};
const ModeOption kModeOptions[] = {
    {"-verify", RunMode::kVerify},
    {kRepairOption, RunMode::kRepair},
};

}  // namespace

void SplitCommandLine(const std::string& text, const OptionHandler& handler) {
  std::string name, value;
  bool in_quotes = false;
  bool in_value = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    bool end = false;
    if (c == '"') {
      end = in_quotes;  // a closing quote ends the option
      in_quotes = !in_quotes;
    } else if (IsBlank(c) && !in_quotes) {
      end = true;
    } else if (c == '=' && !in_quotes && !in_value) {
      in_value = true;
    } else {
      (in_value ? value : name) += c;
    }
    if (i + 1 == text.size()) end = true;
    // Without a name nothing is reset: a stray value runs on into the next
    // option's text, which then never reaches a handler.
    if (end && !name.empty()) {
      handler(name, value);
      name.clear();
      value.clear();
      in_value = false;
    }
  }
}

void ParseCommandLine(const std::string& text) { SplitCommandLine(text, HandleOption); }

bool ParseRegValueOption(const std::string& value, RegValue* record) {
  size_t comma = value.find(',');
  if (comma == std::string::npos) return false;
  int type = 0;
  if (!StringToInt(value.substr(0, comma), &type)) return false;
  const std::string rest = value.substr(comma + 1);
  size_t equals = rest.find('=');
  const std::string key_and_name = equals == std::string::npos ? rest : rest.substr(0, equals);
  RegValue parsed;
  parsed.TypeNum = type;
  parsed.Value = equals == std::string::npos ? rest : rest.substr(equals + 1);
  size_t slash = key_and_name.rfind('\\');
  parsed.Key = slash == std::string::npos ? key_and_name : key_and_name.substr(0, slash);
  parsed.Name = slash == std::string::npos ? key_and_name : key_and_name.substr(slash + 1);
  if (parsed.Key.empty() || parsed.Name.empty() || (type != 0 && type != 1)) return false;
  *record = parsed;
  return true;
}

std::string InstallFolderFromProductPath(const std::string& value) {
  std::string path = value;
  for (char& c : path)
    if (c == '/') c = '\\';
  std::vector<std::string> pieces = Split(path, '\\');
  if (pieces.size() <= 2) return std::string();
  std::string folder;
  for (size_t i = 0; i + 2 < pieces.size(); ++i) {
    if (i > 0) folder += '\\';
    folder += pieces[i];
  }
  return folder;
}

bool ParseWindowHandle(const std::string& value, uintptr_t* handle) {
  int number = 0;
  if (!StringToInt("0x" + value, &number)) return false;
  *handle = static_cast<uintptr_t>(static_cast<uint32_t>(number));
  return true;
}

void HandleOption(const std::string& name, const std::string& value) {
  RunState& run = Run();
  for (const ModeOption& option : kModeOptions) {
    if (name != option.name) continue;
    run.mode = option.mode;
    if (!value.empty()) {
      run.pathGiven = true;
      MainVariables().SetVariable(u"InstallPath", Widen(value));
    }
    return;
  }
  if (name == "-silent") {
    run.silent = true;
  } else if (name == "-regvalue") {
    RegValue record;
    if (ParseRegValueOption(value, &record)) run.commandLineRegValues.push_back(record);
  } else if (name == "-waitpid") {
    int process_id = 0;
    if (StringToInt(value, &process_id)) WaitForProcessToEnd(process_id);
  } else if (name == "-onlyprogressui") {
    run.progressOnly = true;
  } else if (name == "-fnfsystemupdate") {
    std::string folder = InstallFolderFromProductPath(value);
    if (!folder.empty()) {
      run.progressOnly = true;
      run.pathGiven = true;
      MainVariables().SetVariable(u"InstallPath", Widen(folder));
    }
  } else if (name == "-report") {
    run.reportPath = value;
  } else if (name == "-language") {
    run.forcedLanguage = value;
  } else if (name == "-msgwnd") {
    uintptr_t handle = 0;
    if (ParseWindowHandle(value, &handle)) run.statusWindow = reinterpret_cast<void*>(handle);
  }
}
