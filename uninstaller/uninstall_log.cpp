#include "uninstaller/uninstall_log.h"

#include "xml/encoding_parser.h"
#include "xml/xml_parser.h"

namespace {

// The blocks of a log; Top is the inside of "<InstallLog>".
enum class Block { Document, Top, Registry, RegValue, Association, ShellCommand, PreExec, PostExec, Defines, Define };

// How the installer writes a value: escaped for XML, or as it is.
enum class Form { Escaped, Verbatim };

struct LeafRule {
  Block block;
  const char16_t* tag;
  Form form;
};

// Every value line the installer writes, by the block it stands in.
const LeafRule kLeaves[] = {
    {Block::Top, u"InstallName", Form::Escaped},
    {Block::Top, u"AppDataSuffix", Form::Verbatim},
    {Block::Top, u"UninstallDeltree", Form::Escaped},
    {Block::Top, u"UserDirectory", Form::Escaped},
    {Block::Top, u"UninstallDelRegKey", Form::Escaped},
    {Block::Top, u"UserRegKey", Form::Escaped},
    {Block::Top, u"File", Form::Escaped},
    {Block::Top, u"GameExplorerGuid", Form::Verbatim},
    {Block::RegValue, u"Key", Form::Escaped},
    {Block::RegValue, u"Name", Form::Escaped},
    {Block::Association, u"FileExtension", Form::Escaped},
    {Block::Association, u"VersionedName", Form::Escaped},
    {Block::Association, u"IconLocation", Form::Escaped},
    {Block::ShellCommand, u"Name", Form::Escaped},
    {Block::ShellCommand, u"Command", Form::Escaped},
    {Block::PreExec, u"Exe", Form::Verbatim},
    {Block::PreExec, u"Directory", Form::Verbatim},
    {Block::PreExec, u"Params", Form::Verbatim},
    {Block::PreExec, u"SilentFail", Form::Verbatim},
    {Block::PreExec, u"PostConfirmation", Form::Verbatim},
    {Block::PostExec, u"Exe", Form::Verbatim},
    {Block::PostExec, u"Directory", Form::Verbatim},
    {Block::PostExec, u"Params", Form::Verbatim},
    {Block::PostExec, u"SilentFail", Form::Verbatim},
    {Block::PostExec, u"PostConfirmation", Form::Verbatim},
    {Block::Define, u"Name", Form::Verbatim},
    {Block::Define, u"Value", Form::Verbatim},
};

struct BlockRule {
  Block parent;
  const char16_t* tag;
  Block block;
};

const BlockRule kBlocks[] = {
    {Block::Document, u"InstallLog", Block::Top},     {Block::Top, u"Registry", Block::Registry},
    {Block::Registry, u"RegValue", Block::RegValue},  {Block::Top, u"FileAssociation", Block::Association},
    {Block::Association, u"ShellCommand", Block::ShellCommand},
    {Block::Top, u"PreExec", Block::PreExec},         {Block::Top, u"PostExec", Block::PostExec},
    {Block::Top, u"Defines", Block::Defines},         {Block::Defines, u"Define", Block::Define},
};

const char16_t* BlockTag(Block block) {
  for (const BlockRule& rule : kBlocks)
    if (rule.block == block) return rule.tag;
  return u"";
}

// An escaped value read as the XML reader reads element text.
bool ReadEscaped(const WString& inner, WString* value) {
  BrioCommon::XMLParser parser;
  parser.SetSourceText(u"<v>" + inner + u"</v>");
  BrioCommon::XMLItem item;
  value->clear();
  while (parser.ReadNext(item))
    if (item.type == BrioCommon::Element) *value = item.value;
  return !parser.HasError();
}

class LogReader {
 public:
  explicit LogReader(InstallLogEntries* out) : out_(out) {}

  LogReadResult Read(const WString& text) {
    std::vector<WString> lines = Split(text, u'\n');
    for (size_t i = 0; i < lines.size(); ++i) {
      line_number_ = static_cast<int>(i) + 1;
      WString line = lines[i];
      if (!line.empty() && line.back() == u'\r') line.pop_back();
      if (i == 0 && !line.empty() && line[0] == 0xFEFF) line.erase(0, 1);
      size_t start = line.find_first_not_of(u" \t");
      if (start == WString::npos) continue;
      line.erase(0, start);
      if (line.compare(0, 2, u"<?") == 0) continue;  // the declaration
      // A verbatim value may hold line feeds: it then runs on to the line
      // that ends with its end tag.
      WString tag;
      if (IsOpenValue(line, &tag)) {
        while (!EndsWith(line, u"</" + tag + u">") && i + 1 < lines.size()) {
          WString next = lines[++i];
          if (!next.empty() && next.back() == u'\r') next.pop_back();
          line += u"\n" + next;
        }
      }
      if (!Take(line)) break;
      if (stack_.empty() && out_->logClosed) break;
    }
    if (result_.error == LogReadError::None && !seen_start_) result_.error = LogReadError::NotAnInstallLog;
    if (result_.error == LogReadError::None) {
      out_->registryClosed = !registry_opened_ || registry_closed_;
    }
    return result_;
  }

 private:
  static bool EndsWith(const WString& text, const WString& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  }

  // "<Tag>value..." with no end tag on this line.
  bool IsOpenValue(const WString& line, WString* tag) const {
    if (line.size() < 3 || line[0] != u'<' || line[1] == u'/') return false;
    size_t close = line.find(u'>');
    if (close == WString::npos || close + 1 == line.size()) return false;
    *tag = line.substr(1, close - 1);
    return !EndsWith(line, u"</" + *tag + u">");
  }

  bool Damaged(const std::string& detail) {
    result_.error = LogReadError::Damaged;
    result_.line = line_number_;
    result_.detail = detail;
    return false;
  }

  Block Current() const { return stack_.empty() ? Block::Document : stack_.back(); }

  bool Take(const WString& line) {
    if (line.size() < 3 || line[0] != u'<' || line.back() != u'>') return Damaged("not an entry of the log");
    // "</Tag>"
    if (line[1] == u'/') {
      const WString tag = line.substr(2, line.size() - 3);
      while (!stack_.empty()) {
        if (tag == BlockTag(Current())) {
          if (Current() == Block::Registry) registry_closed_ = true;
          if (Current() == Block::Top) out_->logClosed = true;
          stack_.pop_back();
          return true;
        }
        // Only "<Registry>" may lack its end line (a registry step that
        // stopped part-way).
        if (Current() != Block::Registry) break;
        stack_.pop_back();
      }
      return Damaged("end of '" + Narrow(tag) + "' without its start");
    }
    const size_t close = line.find(u'>');
    const WString tag = line.substr(1, close - 1);
    // "<Tag>"
    if (close + 1 == line.size()) {
      for (;;) {
        for (const BlockRule& rule : kBlocks) {
          if (rule.parent == Current() && tag == rule.tag) {
            Open(rule.block);
            return true;
          }
        }
        if (Current() != Block::Registry) break;
        stack_.pop_back();
      }
      return Damaged("'" + Narrow(tag) + "' in the wrong place");
    }
    // "<Tag>value</Tag>"
    const WString end = u"</" + tag + u">";
    if (!EndsWith(line, end) || line.size() < close + 1 + end.size()) return Damaged("'" + Narrow(tag) + "' without its end");
    const WString inner = line.substr(close + 1, line.size() - close - 1 - end.size());
    for (;;) {
      for (const LeafRule& rule : kLeaves) {
        if (rule.block != Current() || tag != rule.tag) continue;
        WString value = inner;
        if (rule.form == Form::Escaped && !ReadEscaped(inner, &value)) return Damaged("unreadable value of '" + Narrow(tag) + "'");
        Store(tag, value);
        return true;
      }
      if (Current() != Block::Registry) break;
      stack_.pop_back();
    }
    // A value the log does not know inside a known block: a later
    // installer's addition, left alone.
    if (Current() != Block::Document) return true;
    return Damaged("'" + Narrow(tag) + "' outside the log");
  }

  void Open(Block block) {
    stack_.push_back(block);
    switch (block) {
      case Block::Top: seen_start_ = true; break;
      case Block::Registry: registry_opened_ = true; registry_closed_ = false; break;
      case Block::RegValue: out_->regValues.emplace_back(); break;
      case Block::Association: out_->associations.emplace_back(); break;
      case Block::ShellCommand: out_->associations.back().commands.emplace_back(); break;
      case Block::PreExec: out_->preExecs.emplace_back(); break;
      case Block::PostExec: out_->postExecs.emplace_back(); break;
      case Block::Define: out_->defines.emplace_back(); break;
      default: break;
    }
  }

  void Store(const WString& tag, const WString& value) {
    switch (Current()) {
      case Block::Top: {
        struct ListTag {
          const char16_t* tag;
          std::vector<WString>* list;
        };
        const ListTag lists[] = {{u"UninstallDeltree", &out_->deltrees},    {u"UserDirectory", &out_->userDirectories},
                                 {u"UninstallDelRegKey", &out_->deleteKeys}, {u"UserRegKey", &out_->userKeys},
                                 {u"File", &out_->files},                    {u"GameExplorerGuid", &out_->gameGuids}};
        for (const ListTag& list : lists)
          if (tag == list.tag) list.list->push_back(value);
        if (tag == u"InstallName") out_->installName = value;
        if (tag == u"AppDataSuffix") out_->appDataSuffix = value;
        break;
      }
      case Block::RegValue: (tag == u"Key" ? out_->regValues.back().key : out_->regValues.back().name) = value; break;
      case Block::Association: {
        LoggedAssociation& a = out_->associations.back();
        (tag == u"FileExtension" ? a.extension : tag == u"VersionedName" ? a.versionedName : a.iconLocation) = value;
        break;
      }
      case Block::ShellCommand: {
        LoggedShellCommand& c = out_->associations.back().commands.back();
        (tag == u"Name" ? c.name : c.command) = value;
        break;
      }
      case Block::PreExec:
      case Block::PostExec: {
        LoggedProgram& p = Current() == Block::PreExec ? out_->preExecs.back() : out_->postExecs.back();
        if (tag == u"Exe") p.exe = value;
        if (tag == u"Directory") p.directory = value;
        if (tag == u"Params") p.params = value;
        if (tag == u"SilentFail") p.silentFail = Trim(value) == u"1";
        if (tag == u"PostConfirmation") p.postConfirmation = Trim(value) == u"1";
        break;
      }
      case Block::Define: (tag == u"Name" ? out_->defines.back().name : out_->defines.back().value) = value; break;
      default: break;
    }
  }

  InstallLogEntries* out_;
  LogReadResult result_;
  std::vector<Block> stack_;
  int line_number_ = 0;
  bool seen_start_ = false;
  bool registry_opened_ = false;
  bool registry_closed_ = false;
};

}  // namespace

std::string DescribeLogReadResult(const LogReadResult& result, const std::string& log_path) {
  switch (result.error) {
    case LogReadError::None: return std::string();
    case LogReadError::Unreadable: return "The install log '" + log_path + "' cannot be read.";
    case LogReadError::NotAnInstallLog: return "'" + log_path + "' is not an install log.";
    case LogReadError::Damaged:
      return "The install log '" + log_path + "' is damaged on line " + std::to_string(result.line) + " (" +
             result.detail + ").";
  }
  return std::string();
}

LogReadResult ParseInstallLog(const WString& text, InstallLogEntries* out) {
  *out = InstallLogEntries();
  LogReader reader(out);
  LogReadResult result = reader.Read(text);
  if (result.error != LogReadError::None) *out = InstallLogEntries();
  return result;
}

LogReadResult ReadInstallLogFile(const std::string& path, InstallLogEntries* out) {
  BrioCommon::EncodingParser source;
  if (!source.Open(path)) {
    *out = InstallLogEntries();
    LogReadResult result;
    result.error = LogReadError::Unreadable;
    return result;
  }
  source.DetectEncoding();
  WString text;
  WChar c = 0;
  for (;;) {
    const int status = source.ReadChar(&c);
    if (status == BrioCommon::EncodingParser::CharEnd || status == BrioCommon::EncodingParser::CharInternal) break;
    // A byte sequence that is no character becomes one that no path or
    // key of this machine holds.
    text += status == BrioCommon::EncodingParser::CharOk ? c : WChar(0xFFFD);
  }
  return ParseInstallLog(text, out);
}
