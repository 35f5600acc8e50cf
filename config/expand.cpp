#include "config/expand.h"

#include <algorithm>
#include <map>

#include "config/defines_parser.h"
#include "base/fatal_error.h"
#include "base/system_seam.h"

namespace {

// What one top-level Expand call may spend. Nested expansions (variable
// values and command arguments) share it with their caller.
struct Budget {
  explicit Budget(const DefinesParser& store) : variables(store) {}
  const DefinesParser& variables;  // the store that %Name% reads
  int steps = 0;
  int depth = 0;
  bool exhausted = false;
  std::vector<WString> activeNames;  // upper-cased names being expanded, outermost first

  bool Spend() {
    if (++steps > kMaxExpansionSteps) exhausted = true;
    return !exhausted;
  }
  bool IsActive(const WString& key) const {
    return std::find(activeNames.begin(), activeNames.end(), key) != activeNames.end();
  }
};

WString ExpandWithin(const WString& text, bool collapse, Budget& budget);

// Splits "#Name args | alternative" and evaluates it. Returns the command's
// value, or the alternative when it produced none.
WString RunCommand(const WString& text, Budget& budget) {
  WString head, alternative;
  size_t bar = text.find(u'|');
  if (bar != WString::npos) {
    head = Trim(text.substr(1, bar - 1));
    alternative = Trim(text.substr(bar + 1));
  } else {
    head = text.substr(1);  // not trimmed: a leading space leaves an empty name
  }

  WString name, argumentText;
  size_t space = head.find(u' ');
  if (space != WString::npos) {
    name = Trim(head.substr(0, space));
    argumentText = Trim(head.substr(space + 1));
  } else {
    name = head;
  }

  // Split at the commas of the text as written, so that commas inside
  // variable values never split; a trailing comma adds no argument.
  std::vector<WString> arguments;
  while (!argumentText.empty()) {
    size_t comma = argumentText.find(u',');
    if (comma == WString::npos) {
      arguments.push_back(ExpandWithin(argumentText, false, budget));
      break;
    }
    arguments.push_back(ExpandWithin(Trim(argumentText.substr(0, comma)), false, budget));
    argumentText = Trim(argumentText.substr(comma + 1));
  }
  if (budget.exhausted) return WString();

  WString value;
  if (EvalDefineCommand(name, arguments, &value)) return value;
  return alternative;
}

// Finds the first reference "%Name%" from the start, skipping "%%" pairs.
// True with the positions of its two "%" characters.
bool FindReference(const WString& text, size_t* open, size_t* close) {
  size_t from = 0;
  for (;;) {
    size_t first = text.find(u'%', from);
    if (first == WString::npos) return false;
    size_t second = text.find(u'%', first + 1);
    if (second == WString::npos) return false;
    if (second != first + 1) {
      *open = first;
      *close = second;
      return true;
    }
    from = second + 1;
    if (from >= text.size()) return false;
  }
}

WString CollapsePercentPairs(const WString& text) {
  WString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out.push_back(text[i]);
    if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] == u'%') ++i;
  }
  return out;
}

WString ExpandWithin(const WString& text, bool collapse, Budget& budget) {
  if (budget.exhausted) return WString();
  if (budget.depth >= kMaxExpansionDepth) {
    budget.exhausted = true;
    return WString();
  }
  ++budget.depth;
  WString result = text;
  for (;;) {
    // Commands at the start of the text, one after another: a value or an
    // alternative that is itself a command is evaluated in turn.
    while (result.size() >= 2 && result[0] == u'#') {
      if (result[1] == u'#') {
        result.erase(0, 1);
        break;
      }
      if (!budget.Spend()) break;
      result = RunCommand(result, budget);
      if (budget.exhausted) break;
    }
    if (budget.exhausted || result.empty()) break;

    size_t open, close;
    if (!FindReference(result, &open, &close)) break;
    if (!budget.Spend()) break;
    WString name = result.substr(open + 1, close - open - 1);
    WString key = Upper(name);
    WString value;
    if (!budget.IsActive(key)) {
      budget.activeNames.push_back(key);
      value = ExpandWithin(budget.variables.GetVariable(name), false, budget);
      budget.activeNames.pop_back();
      if (budget.exhausted) break;
    }
    result.replace(open, close - open + 1, value);
    if (result.size() > kMaxExpansionLength) {
      budget.exhausted = true;
      break;
    }
  }
  --budget.depth;
  if (budget.exhausted) return WString();
  return collapse ? CollapsePercentPairs(result) : result;
}

bool IsTrue(const WString& condition) {
  WString c = Upper(Trim(condition));
  return c == u"1" || c == u"TRUE" || c == u"YES" || c == u"Y";
}

// "#Registry HKLM\Sub\Key, Value": the value's data up to its first zero
// byte, widened byte by byte.
bool ReadRegistryCommand(const WString& keyPath, const WString& valueName, WString* value) {
  struct Prefix {
    const char16_t* text;
    seam::RegistryRoot root;
  };
  static const Prefix kPrefixes[] = {{u"HKLM\\", seam::RegistryRoot::LocalMachine},
                                     {u"HKCU\\", seam::RegistryRoot::CurrentUser},
                                     {u"HKCR\\", seam::RegistryRoot::ClassesRoot}};
  for (const Prefix& prefix : kPrefixes) {
    WString p = prefix.text;
    if (keyPath.compare(0, p.size(), p) != 0) continue;
    std::string data;
    // A 4096-byte buffer of which at most 4095 bytes are accepted.
    if (!seam::QueryRegistryValue(prefix.root, Narrow(keyPath.substr(p.size())),
                                  Narrow(valueName), seam::KeyOpen::Legacy, 4095, &data))
      return false;
    size_t zero = data.find('\0');
    if (zero != std::string::npos) data.resize(zero);
    *value = Widen(data);
    return true;
  }
  return false;
}

std::map<WString, DefineCommand>& AddedCommands() {
  static std::map<WString, DefineCommand> commands;
  return commands;
}

}  // namespace

WString Expand(const DefinesParser& variables, const WString& text, bool collapse) {
  Budget budget(variables);
  return ExpandWithin(text, collapse, budget);
}

WString Expand(const WString& text, bool collapse) { return Expand(MainVariables(), text, collapse); }

WString LiteralForExpand(const WString& text) {
  WString out;
  out.reserve(text.size() + 2);
  if (!text.empty() && text[0] == u'#') out += u'#';
  for (char16_t c : text) {
    out += c;
    if (c == u'%') out += u'%';
  }
  return out;
}

bool EvalDefineCommand(const WString& name, const std::vector<WString>& arguments, WString* value) {
  const size_t count = arguments.size();
  if (name == u"Registry") {
    return count >= 2 && ReadRegistryCommand(arguments[0], arguments[1], value);
  }
  if (name == u"IfBool") {
    if (count < 2 || !IsTrue(arguments[0])) return false;
    *value = arguments[1];
    return true;
  }
  if (name == u"IfSet") {
    if (count < 2 || Trim(arguments[0]).empty()) return false;
    *value = arguments[1];
    return true;
  }
  if (name == u"IfEq") {
    if (count < 3 || Trim(arguments[0]) != Trim(arguments[1])) return false;
    *value = arguments[2];
    return true;
  }
  if (name == u"IfContains") {
    if (count < 3 || Trim(arguments[0]).find(Trim(arguments[1])) == WString::npos) return false;
    *value = arguments[2];
    return true;
  }
  if (name == u"Uppercase") {
    if (count < 1) return false;
    *value = Upper(arguments[0]);
    return true;
  }
  if (name == u"Fail") {
    if (count < 1) return false;
    ShowFatalError(arguments[0]);
    value->clear();
    return true;
  }
  if (name == u"IfFileExists") {
    if (count < 2 || !FileExists(Narrow(arguments[0]))) return false;
    *value = arguments[1];
    return true;
  }
  if (name == u"IsVista") {
    if (count >= 2 || !IsVista()) return false;
    *value = count == 1 ? arguments[0] : WString();
    return true;
  }
  const auto added = AddedCommands().find(name);
  if (added != AddedCommands().end()) return added->second(arguments, value);
  ShowFatalError(u"Invalid define command: '" + name + u"'");
  return false;
}

void AddDefineCommand(const WString& name, DefineCommand handler) {
  if (handler)
    AddedCommands()[name] = std::move(handler);
  else
    AddedCommands().erase(name);
}
