// One install, as the engine works on it: the configuration read from
// install.xml, the variables its texts expand in, the defines record, the
// run's context (flags, choices, payload, progress), the install log, the
// program lists' status and the "icons changed" flag. Whoever runs an
// install owns a job (the stub's driver for the whole run, a test for one
// case) and hands it to every engine action, so that nothing below the
// driver reaches for a run-wide instance and two jobs can live side by side.
//
// Threads: the worker thread runs the actions while the main thread polls
// the context and the exec status; the rest is used by one thread at a time
// (the driver fills the job before the worker starts and finishes the log
// after it has ended).
#pragma once

#include <string>

#include "base/string_utils.h"
#include "config/defines_parser.h"
#include "engine/external_programs.h"
#include "engine/install_config.h"
#include "engine/install_context.h"
#include "engine/install_log.h"

class InstallJob {
 public:
  // `variables` is the store the job's texts expand in: the stub binds the
  // main variable store, which its pages and message boxes read too.
  InstallJob(InstallContext& context, DefinesParser& variables) : context(context), variables(variables) {}
  InstallJob(const InstallJob&) = delete;
  InstallJob& operator=(const InstallJob&) = delete;

  // A configuration text expanded in the job's variables ("%%" collapsed).
  WString Expand(const WString& text) const;
  // The same for a narrow text of the configuration, narrowed again.
  std::string ExpandText(const std::string& raw) const;

  InstallContext& context;
  DefinesParser& variables;
  // Only what the defines documents said; written into the install log.
  DefinesParser defines;
  BrioCommon::InstallConfigParser config;
  InstallLog log;
  ExecStatus exec;
  // Set by the shortcut and file association steps when they gave
  // something an icon; the worker then asks the shell to refresh its icons.
  bool iconsChanged = false;
};
