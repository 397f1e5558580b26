// The keys the window logic and its dialogs understand, by their Windows
// virtual-key numbers (the Qt layer translates its key codes to these).
#pragma once

inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_DOWN = 0x28;
