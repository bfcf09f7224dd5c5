// Resource identifiers shared by the resource scripts and the programs' code.
#pragma once

#define IDI_KESTREL_LARGE 130  // application icon, large
#define IDI_KESTREL_SMALL 131  // application icon, small (title bar, tray)
#define IDI_LOADING 142        // a button's icon while it is still being read
#define IDI_FAILED 143         // a button's icon that could not be read

#define IDI_TESSERA 130  // Tessera's application icon (in tessera.exe)
