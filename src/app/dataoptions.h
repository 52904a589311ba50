#pragma once
// The program's options beside its configuration: loading them hands the extra data folders and
// the date entry format to the configuration, and a data folder added on choosing a file is
// written to the options at once.
#include <string_view>

#include "app/config.h"
#include "files/options.h"

namespace clx {

class UiServices;

// The start-up load: the resource folder's options.dcz (default.dcz when it is missing), then
// lnk.dat; the configuration takes the folder list and the date entry format.
OptionsLoadReport LoadProgramOptions(Config& config, Options& options, Links& links, UiServices* ui);

// Config::AddDataFolderOf, and when the file's folder was new, the options saved at once with
// the new folder list (no dialog). True when the folder was added. Write failures throw FileError.
bool AddDataFolderOf(Config& config, Options& options, std::string_view file, UiServices* ui);

}  // namespace clx
