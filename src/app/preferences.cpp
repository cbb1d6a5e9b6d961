// The settings file, the working folders and the viewer search of the
// running program: the operations over the model's functions, with the
// program's own file and settings.
#include "app/app.h"
#include "app/operations.h"
#include "model/catalogue.h"
#include "model/folders.h"

std::wstring own_ReadData() { return model::BuiltInBlock(app::TheApp().run.BuiltInDataPosition); }

std::wstring WLX_LoadPreferences(const std::wstring& group, const std::wstring& key) {
    app::App& a = app::TheApp();
    if (group.empty() || key.empty())
        return model::LoadPreferences(a.run.SettingsFile, a.run.GraphicsPath, a.run.FoundViewerId, a.run.ViewerPath,
                               a.settings);
    return model::ReadPreference(a.run.SettingsFile, group, key);
}

uint8_t WLX_SavePreference(const std::wstring& group, const std::wstring& key, const std::wstring& value) {
    return model::SavePreference(app::TheApp().run.SettingsFile, group, key, value);
}

uint8_t WLX_CheckCreateDir(const std::wstring& folder) {
    app::App& a = app::TheApp();
    if (folder.empty()) return model::CreateWorkingTree(a.settings, a.run.TfaActive) ? 1 : 0;
    return model::EnsureFolder(folder) ? 1 : 0;
}

std::wstring WLX_AutoSearch_Viewer() { return model::AutoSearchViewer(app::TheApp().run.FoundViewerId); }

std::wstring WLX_GetModeFromViewer() { return model::ModeFromViewerPath(app::TheApp().run.ViewerPath); }
