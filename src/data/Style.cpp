// The plug-in's look, read from the shell's current style file.
#include <stdlib.h>
#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Text.h"

namespace {

// No frame is wider than 100 pixels; beyond that the paint's inset
// arithmetic could overflow, so a width out of range takes the default 1.
int FrameWidth(int width) {
    return width >= 0 && width <= 100 ? width : 1;
}

} // namespace

void PluginInstance::ReadStyle() {
    CopyText(stylePath, sizeof stylePath, Host.stylePath(nullptr));
    const char* path = stylePath;

    colour = Host.ReadColor(path, "toolbar.color:", "#000000");
    colourTo = Host.ReadColor(path, "toolbar.colorTo:", "#FFFFFF");
    borderColour = Host.ReadColor(path, "borderColor:", "#000000");

    char buffer[CommandSize];
    CopyText(buffer, sizeof buffer, Host.ReadString(path, "toolbar:", "Flat Gradient Vertical"));
    free(styleRecord);
    styleRecord = static_cast<StyleRecord*>(calloc(1, sizeof(StyleRecord)));
    if (styleRecord) Host.ParseItem(buffer, styleRecord);

    bevelWidth = FrameWidth(Host.ReadInt(path, "bevelWidth:", 1));
    borderWidth = FrameWidth(Host.ReadInt(path, "borderWidth:", 1));

    CopyText(fontFace, sizeof fontFace, Host.ReadString(path, "toolbar.font:", ""));
    if (!fontFace[0])
        CopyText(fontFace, sizeof fontFace, Host.ReadString(path, "*font:", "Tahoma"));
    fontHeight = 12;

    // The shell's readers cannot tell a missing key from one holding the
    // default, so an impossible default marks the label colour as absent.
    CopyText(buffer, sizeof buffer,
             Host.ReadString(path, "toolbar.label.textColor:", "doesntexist"));
    if (strcmp(buffer, "doesntexist") == 0) {
        textColour = Host.ReadColor(path, "toolbar.textColor:", "#FFFFFF");
    } else {
        textColour = Host.ReadColor(path, "toolbar.label.textColor:", "#FFFFFF");
    }
    doneTextColour = Host.ReadColor(path, "window.label.unfocus.textColor:", "#000000");

    height = (fontHeight + 3) * ItemCount + fontHeight + 18;
}
