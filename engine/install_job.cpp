#include "engine/install_job.h"

#include "config/expand.h"

WString InstallJob::Expand(const WString& text) const { return ::Expand(variables, text, true); }

std::string InstallJob::ExpandText(const std::string& raw) const { return Narrow(Expand(Widen(raw))); }
