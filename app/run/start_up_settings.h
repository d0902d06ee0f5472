#pragma once

#include <string>

#include "app/run_options.h"
#include "app/site/data_paths.h"

namespace app {

// The values every start reads from the settings. Those not stored yet take
// the defaults given, which are then written (unless the store takes no
// writes); when the settings cannot be read at all the defaults serve this
// run and nothing is written over what is there.
struct StartUpSettings {
  std::string readmeDate = "00.00.0000";
  std::string backupFolder;  // default: "backup" below the writable folder, made when missing
  bool backup = true;
  std::string lastDir;       // default: AppDir
  bool sendMail = true;
  int parallel = kDefaultParallel;  // not among the values written: absent, the default serves
};

// Reads into `settings`, whose backup and sendMail are the defaults (the
// window's design state). Errors of a value (a wrong type) reach the caller
// with the values before it read.
void ReadStartUpSettings(const DataPaths& paths, StartUpSettings& settings);

}  // namespace app
