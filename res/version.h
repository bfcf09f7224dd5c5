// The version of both programs, for the version resources and for the code that shows it.
#pragma once

#define KESTREL_VERSION_MAJOR 1
#define KESTREL_VERSION_MINOR 36
#define KESTREL_VERSION_YEAR 2024
#define KESTREL_VERSION_DATE 503
#define KESTREL_VERSION_TEXT "1.36.2024.0503"
