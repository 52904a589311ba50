#include "app/document_commands.h"

namespace clx {

namespace {
// Settings are a convenience: failing to write them must not fail a load or a save.
void SaveQuietly(IniFile& store) {
    try {
        store.Save();
    } catch (const IniError&) {
    }
}
}  // namespace

DocumentPaths DocumentPathsFrom(const Config& config) {
    DocumentPaths p;
    p.templateFile = config.Files().newTemplate;
    p.dataNewFile = config.Files().dataNew;
    p.demoFile = config.Files().demo;
    p.dataFolder = config.DataFolder();
    return p;
}

void BindDocumentSettings(Document& doc, const Config& config, IniFile& userSettings,
                          IniFile& componentStore) {
    doc.SetPaths(DocumentPathsFrom(config));
    doc.recent.Read(componentStore);
    doc.hooks.storeLastFile = [&config, &userSettings](const std::string& name) {
        if (config.WriteLastFile(userSettings, name)) SaveQuietly(userSettings);
    };
    doc.hooks.recentChanged = [&doc, &componentStore] {
        doc.recent.Write(componentStore);
        SaveQuietly(componentStore);
    };
    doc.hooks.chrDateFormat = [&config, &userSettings] { return config.ReadChrDateFormat(userSettings); };
}

}  // namespace clx
