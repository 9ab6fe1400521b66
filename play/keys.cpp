#include "play/keys.h"

KeyBindingTable keyBindingTable;
