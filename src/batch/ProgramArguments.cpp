#include "batch/ProgramArguments.h"

#include <algorithm>
#include <cstring>

namespace {

// Qt's own options (QGuiApplication, QApplication), each with or without a
// value; "--name" and "-name=value" are accepted as Qt accepts them.
const char* const kQtValueOptions[] = {"platform",
                                       "platformpluginpath",
                                       "platformtheme",
                                       "plugin",
                                       "qwindowgeometry",
                                       "qwindowicon",
                                       "qwindowtitle",
                                       "session",
                                       "style",
                                       "stylesheet",
                                       "display",
                                       "geometry",
                                       "name",
                                       "title",
                                       "qmljsdebugger",
                                       "visual",
                                       "ncols",
                                       "cmap"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
// The batch options' markers: an argument holding one is never a Qt value.
const char* const kBatchMarkers[] = {
    "-M:", "-R:", "-D:", "-W:", "-Q:", "-F:", "-I:", "-O:", "-B:", "-P:", "-H:", "-A:", "-C:"};

// The option's name without its dashes and any "=value"; empty when the
// argument does not start with a dash.
std::string OptionName(const std::string& arg, bool* hasValue) {
  if (arg.size() < 2 || arg[0] != '-')
    return {};
  const std::size_t start = arg[1] == '-' ? 2 : 1;
  const std::size_t equals = arg.find('=');
  *hasValue = equals != std::string::npos;
  return arg.substr(start, (*hasValue ? equals : arg.size()) - start);
}

bool IsOneOf(const std::string& name, const auto& list) {
  return std::any_of(std::begin(list), std::end(list),
                     [&name](const char* option) { return name == option; });
}

bool HoldsBatchMarker(const std::string& arg) {
  return std::any_of(std::begin(kBatchMarkers), std::end(kBatchMarkers),
                     [&arg](const char* marker) { return arg.find(marker) != std::string::npos; });
}

}  // namespace

CProgramArguments::CProgramArguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  m_qt.emplace_back(argc > 0 && argv[0] != nullptr ? argv[0] : "sendrix");
  m_bVersion = args.size() == 1 && args[0] == "--version";
  const bool batch = std::any_of(args.begin(), args.end(), [](const std::string& arg) {
    return arg.find("-M:") != std::string::npos;
  });
  std::size_t i = 0;
  if (batch && !args.empty())
    m_tokens.push_back(args[i++]);  // String: data, whatever it looks like
  for (; i < args.size(); ++i) {
    bool hasValue = false;
    const std::string name = OptionName(args[i], &hasValue);
    if (!HoldsBatchMarker(args[i]) && IsOneOf(name, kQtFlagOptions) && !hasValue) {
      m_qt.push_back(args[i]);
    } else if (!HoldsBatchMarker(args[i]) && IsOneOf(name, kQtValueOptions) &&
               (hasValue || (i + 1 < args.size() && !HoldsBatchMarker(args[i + 1])))) {
      m_qt.push_back(args[i]);
      if (!hasValue)
        m_qt.push_back(args[++i]);
    } else {
      m_tokens.push_back(args[i]);
    }
  }
  for (std::string& arg : m_qt)
    m_qtPointers.push_back(arg.data());
  m_nQtArgc = static_cast<int>(m_qt.size());
  m_qtPointers.push_back(nullptr);
}

std::string CProgramArguments::QtPlatform() const {
  for (std::size_t i = 1; i < m_qt.size(); ++i) {
    bool hasValue = false;
    if (OptionName(m_qt[i], &hasValue) != "platform")
      continue;
    if (hasValue)
      return m_qt[i].substr(m_qt[i].find('=') + 1);
    return i + 1 < m_qt.size() ? m_qt[i + 1] : std::string();
  }
  return {};
}

const char* ProgramVersionLine() {
  return "sendrix 5.0.894";
}
