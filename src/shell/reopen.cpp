// The screen re-open after a settings change of mode or window size: the
// screen is closed and opened again, and every layout, picture, panel and
// card is made again for the new screen. A screen that does not open is fatal.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

void ReopenScreen()
{
    // 1-2. Close, take the edited mode and size.
    CloseScreen();
    ForgetScreenImages();
    GameScreen = PendingSettings.GameScreen;
    Resolution = PendingSettings.Resolution;

    // 3-4. Size and screen.
    ChooseScreenSize();
    OpenGameScreen();
    if (!ScreenOpenResult)
        ShowFatalError("tErrorSCREEN");
    ShowMouseCursor(GameScreen == ModeWindowed);

    // 5-6. Gamepads, class, layout.
    JoystickCount = InitJoystick();
    // "Joystick: " with a blank, unlike start-up's "Joystick:": the log has always read so.
    LogValue("Joystick: ", int64_t(JoystickCount));
    ScreenAspectClass = AspectClass(ScreenWidth, ScreenHeight);
    LogValue("AspectRatio:", int64_t(ScreenAspectClass));
    ComputePlayLayout(ScreenWidth, ScreenHeight, ScreenAspectClass);

    // 7. Levels again (records kept, tile images replaced).
    LoadLevelArchive(GameDir + "Kistora.maps");

    // 8. Pictures, HUD, panels and cards with their current selections.
    LoadPictures();
    RenderHudBackground();
    ComputeCardGeometry();
    ComputePanelLayouts();
    RenderEveryPanel();

    // 9. The level title and clock of a level in play.
    if (Play.InLevel) {
        RenderHudTitle();
        RenderHudTime();
    }

    // 10-11. Board art, frame rate, sampling, window.
    ScaleBoardArt();
    SetFrameRate(60);
    SetFilteredSampling(1);
    if (GameScreen != ModeFullScreen)
        ShowScreenWindow();
}
