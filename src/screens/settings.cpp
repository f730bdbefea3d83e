// The settings panel: language, music, screen mode, window size, OK and cancel.
#include "settings/settings.h"

#include "screens/screens.h"
#include "screens/screens_local.h"
#include "display/display.h"
#include "platform/platform.h"

PendingSettingsRecord PendingSettings;

void RenderSettings(int SelectedRow, int ShownScreenMode)
{
    const int Panel = PanelSettings;
    int Image = BeginPanel(Panel, Text("tSettingsTITLE"));
    if (!Image)
        return;

    std::string LanguageName;
    if (LanguageListCurrent >= 0 && LanguageListCurrent < int(LanguageList.size()))
        LanguageName = UpperCase(LanguageList[LanguageListCurrent].Name);
    // "TSettingsWINDOWED" with a capital T: that is the key's spelling in every language file.
    static const char* const ModeKeys[3] = {"tSettingsFULLSCREEN", "TSettingsWINDOWED", "tSettingsBORDERLESS"};
    std::string ModeText = ShownScreenMode >= 0 && ShownScreenMode <= 2 ? Text(ModeKeys[ShownScreenMode]) : "";
    std::string ResolutionText;
    if (PendingSettings.Resolution >= 0 && PendingSettings.Resolution < int(ResolutionList.size()))
        ResolutionText = ResolutionList[PendingSettings.Resolution];

    struct Row {
        const char* Label;
        std::string Value;
    };
    const Row Rows[4] = {
        {"tSettingsLANGUAGE", LanguageName},
        {"tSettingsMUSIC", Text(PendingSettings.Music == 1 ? "tSettingsON" : "tSettingsOFF")},
        {"tSettingsSCREENMODE", ModeText},
        {"tSettingsRESOLUTION", ResolutionText},
    };
    for (int R = 1; R <= 4; ++R) {
        uint32_t Colour = ItemColour(R, SelectedRow);
        // The window size only means something in windowed mode.
        if (R == 4 && ShownScreenMode != ModeWindowed)
            Colour = ColourDisabled;
        double Y = PanelRowTop(Panel, R);
        PanelItem(Panel, Image, Text(Rows[R - 1].Label), PlaceLeft, Y, Colour);
        PanelItem(Panel, Image, Rows[R - 1].Value, PlaceRight, Y, Colour);
    }
    double Y = PanelRowTop(Panel, 6);
    PanelItem(Panel, Image, Text("tSettingsOK"), PlaceLeft, Y, ItemColour(5, SelectedRow));
    PanelItem(Panel, Image, Text("tSettingsCANCEL"), PlaceRight, Y, ItemColour(6, SelectedRow));
    FinishPanel(Panel, Image);
}
