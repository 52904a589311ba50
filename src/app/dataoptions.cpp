#include "app/dataoptions.h"

namespace clx {

OptionsLoadReport LoadProgramOptions(Config& config, Options& options, Links& links, UiServices* ui) {
    const ConfigFiles& f = config.Files();
    OptionsLoadReport report = LoadOptions(options, f.options, f.defaultOptions, ui);
    LoadLinks(links, f.links, ui);
    config.SetPaths(options.paths);
    // A choice the lists do not know means the system setting, as 0 does.
    config.SetDateFormats(options.DateEntryFormat().value_or(0));
    return report;
}

bool AddDataFolderOf(Config& config, Options& options, std::string_view file, UiServices* ui) {
    if (!config.AddDataFolderOf(file)) return false;
    options.paths = config.Paths();
    SaveOptions(options, config.Files().options, ui);
    return true;
}

}  // namespace clx
