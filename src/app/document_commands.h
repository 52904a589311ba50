#pragma once
// The document's ties to the configuration: its fixed file names and the settings it keeps
// ("IniLastFile" and "ChrDateFormat" in the user settings, the recent-files list in the
// component store).
#include "app/config.h"
#include "files/document.h"
#include "platform/ini.h"

namespace clx {

// The template and demonstration documents of the resource folder, new.cxz of the data
// folder, and the data folder.
DocumentPaths DocumentPathsFrom(const Config& config);

// Gives the document its fixed names and hooks it to the stores, which must outlive it; the
// recent-files list is read from the component store now. Each change is saved at once; a
// store that cannot be written keeps its old content and the document's work goes on.
void BindDocumentSettings(Document& doc, const Config& config, IniFile& userSettings,
                          IniFile& componentStore);

}  // namespace clx
