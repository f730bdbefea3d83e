// The three choice panels: main menu, in-game menu and quit question.
#include "screens/screens.h"
#include "screens/screens_local.h"
#include "display/display.h"
#include "settings/settings.h"
#include "platform/platform.h"

static const char* const ProductCaps = "KISTORA";

static void RenderChoiceList(int Panel, const char* const Keys[4], int Selection)
{
    int Image = BeginPanel(Panel, ProductCaps);
    if (!Image)
        return;
    for (int Item = 1; Item <= 4; ++Item)
        PanelItem(Panel, Image, Text(Keys[Item - 1]), PlaceCentre, PanelRowTop(Panel, Item),
                  ItemColour(Item, Selection));
    FinishPanel(Panel, Image);
}

void RenderMainMenu(int Selection)
{
    static const char* const Keys[4] = {"tMenuSTART", "tMenuSETTINGS", "tMenuCREDITS", "tMenuQUIT"};
    RenderChoiceList(PanelMainMenu, Keys, Selection);
}

void RenderInGameMenu(int Selection)
{
    static const char* const Keys[4] = {"tInGameRESUME", "tInGameRESTART", "tInGameSETTINGS", "tInGameQUIT"};
    RenderChoiceList(PanelInGameMenu, Keys, Selection);
}

void RenderQuitQuestion(int Selection)
{
    const PanelLayout& P = Panels[PanelQuitQuestion];
    int Image = BeginPanel(PanelQuitQuestion, ProductCaps);
    if (!Image)
        return;
    // The question takes the place of slots 1 and 2 and wraps at the box width.
    DrawParagraph(Image, Text("tQuitQUESTION"), 10, P.Header + P.Gap, P.Width - 20, 2 * P.ItemFont + P.Gap, P.ItemFont,
                  ColourWhite);
    // The answers stand one gap higher than slot 4.
    double Y = P.Header + 3 * P.Gap + 3 * P.ItemFont;
    PanelItem(PanelQuitQuestion, Image, Text("tQuitYES"), PlaceLeft, Y, ItemColour(1, Selection));
    PanelItem(PanelQuitQuestion, Image, Text("tQuitNO"), PlaceRight, Y, ItemColour(2, Selection));
    FinishPanel(PanelQuitQuestion, Image);
}
