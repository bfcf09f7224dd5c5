# A short soak in every test run: 300 button runs and 30 script menus; every run reaches the log
# and the launcher gives back its windows. scripts/soak.sh runs the long one (10,000 clicks,
# 1,000 menus) and prints the figures.
if(NOT TARGET kestrel)
  return()
endif()

set(soak_files ${CMAKE_CURRENT_BINARY_DIR}/soak.files)
file(MAKE_DIRECTORY ${soak_files})
kestrel_win_path(soak_win ${soak_files})
file(WRITE ${soak_files}/k.ini "[Common]
Program=Kestrel
[Option]
LogFolder=${soak_win}\\log
IconCacheFolder=${soak_win}\\cache
[Button:One]
IconFile=shell32.dll
Define {
  Seen=$(Calc:6*7)
}
[Button:Two]
IconFile=shell32.dll
IconIndex=3
Menu {
  Title=Soak
  MenuItem {
    Title=First
    IconFile=shell32.dll
    IconIndex=4
    Define {
      Chosen=1
    }
  }
  Separator {
  }
  MenuItem {
    Title=Second
    Define {
      Chosen=2
    }
  }
}
")
add_test(NAME e2e.soak.short
         COMMAND e2e_soak $<TARGET_FILE:kestrel> "${soak_win}\\k.ini" "${soak_win}\\log" 300 30 16384)
set_tests_properties(e2e.soak.short PROPERTIES FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 600 RUN_SERIAL TRUE)
