// Key translation: X keysyms to the virtual keys of VstKeyCode.
#include "aeffectx.h"
#include "fxgui/cframe.h"
#include "fxwindow/window.h"

#include <X11/keysym.h>

#include <cctype>

namespace
{

struct KeyEntry
{
    uint32_t keysym;
    unsigned char virt;
};

// One entry per key; keypad keys are delivered with their digit meaning.
constexpr KeyEntry kKeyTable[] = {
    {XK_BackSpace, 1},    {XK_Tab, 2},        {XK_Return, 4},       {XK_Pause, 5},
    {XK_Escape, 6},       {XK_space, 7},      {XK_End, 9},          {XK_Home, 10},
    {XK_Left, 11},        {XK_Up, 12},        {XK_Right, 13},       {XK_Down, 14},
    {XK_Page_Up, 15},     {XK_Page_Down, 16}, {XK_Print, 18},       {XK_KP_Enter, 19},
    {XK_Help, 23},        {XK_Delete, 22},    {XK_KP_0, 24},        {XK_KP_1, 25},
    {XK_KP_2, 26},        {XK_KP_3, 27},      {XK_KP_4, 28},        {XK_KP_5, 29},
    {XK_KP_6, 30},        {XK_KP_7, 31},      {XK_KP_8, 32},        {XK_KP_9, 33},
    {XK_KP_Multiply, 34}, {XK_KP_Add, 35},    {XK_KP_Subtract, 37}, {XK_KP_Decimal, 38},
    {XK_KP_Divide, 39},   {XK_F1, 40},        {XK_F2, 41},          {XK_F3, 42},
    {XK_F4, 43},          {XK_F5, 44},        {XK_F6, 45},          {XK_F7, 46},
    {XK_F8, 47},          {XK_F9, 48},        {XK_F10, 49},         {XK_F11, 50},
    {XK_F12, 51},         {XK_Num_Lock, 52},  {XK_KP_Equal, 57},
};
static_assert(sizeof kKeyTable / sizeof kKeyTable[0] == 47, "one entry per key of the table");

} // namespace

unsigned char fxVirtualKeyForKeysym(uint32_t keysym)
{
    // Shift-Tab arrives as its own keysym; it is the Tab key.
    if (keysym == XK_ISO_Left_Tab)
        keysym = XK_Tab;
    for (const KeyEntry& entry : kKeyTable)
    {
        if (entry.keysym == keysym)
            return entry.virt;
    }
    return 0;
}

bool fxTranslateKey(uint32_t keysym, uint32_t character, uint32_t modifiers, VstKeyCode& key)
{
    key.character = static_cast<VstInt32>(character);
    if ((modifiers & fxwin::kShift) && character < 0x80)
        key.character = std::toupper(static_cast<int>(character));
    key.virt = fxVirtualKeyForKeysym(keysym);
    if (key.virt != 0)
        key.character = 0;
    key.modifier = 0;
    if (modifiers & fxwin::kShift)
        key.modifier |= 1;
    if (modifiers & fxwin::kAlt)
        key.modifier |= 2;
    if (modifiers & fxwin::kControl)
        key.modifier |= 4;
    if (modifiers & fxwin::kSuper)
        key.modifier |= 8;
    return key.character != 0 || key.virt != 0;
}
