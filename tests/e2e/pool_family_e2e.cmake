# The icon cache's scenarios under Wine: the icon probe (icon_probe_win32.cpp) extracts icons
# with the launcher's own store and runs the cache through starts of the program.

add_executable(e2e_icon_probe icon_probe_win32.cpp)
kestrel_wide_entry(e2e_icon_probe)
target_link_libraries(e2e_icon_probe PRIVATE kestrel_app)

set(icon_probe $<TARGET_FILE:e2e_icon_probe>)
set(icon_helper $<TARGET_FILE:e2e_helper>)
set(shell32 "C:\\windows\\system32\\shell32.dll")

# A system library's icon and a text document's shell icon keep their own alpha in the pool.
kestrel_e2e(NAME pool.library_icon_alpha STEPS
  start ${icon_probe} extract @DIR@/report.txt ${shell32} 3 indexed --
  expect-exit 0 30000
  file-contains @DIR@/report.txt "slot 0\\npartial ")
kestrel_e2e(NAME pool.document_icon_alpha STEPS
  start ${icon_helper} write @DIR@/note.txt "a text document" 0 --
  expect-exit 0 10000
  start ${icon_probe} extract @DIR@/report.txt @DIR@/note.txt 0 shell --
  expect-exit 0 30000)
kestrel_e2e(NAME pool.missing_file_has_no_icon STEPS
  start ${icon_probe} extract @DIR@/report.txt @DIR@/missing.exe 0 indexed --
  expect-exit 2 30000
  file-contains @DIR@/report.txt "no icon")

# The first start shows the loading image until the worker has extracted each icon; the second
# start shows the cached images at once and keeps the entries.
kestrel_e2e(NAME pool.cache_kept_by_second_start STEPS
  start ${icon_helper} write @DIR@/note.txt "a text document" 0 --
  expect-exit 0 10000
  start ${icon_probe} start @DIR@/cache 60 @DIR@/first.txt ${shell32}*3 @DIR@/note.txt --
  expect-exit 0 60000
  file-contains @DIR@/first.txt "loaded no entries 0\\nloading 0\\nloading 1\\nready 0 image 2 partial "
  file-contains @DIR@/first.txt "saved"
  file-contains @DIR@/cache/IconCache.ini "[TopInfo]\\r\\nIconWidth=32\\r\\nIconHeight=32\\r\\nFailedId=0\\r\\nLoadingId=1\\r\\n"
  start ${icon_probe} start @DIR@/cache 60 @DIR@/second.txt ${shell32}*3 @DIR@/note.txt --
  expect-exit 0 60000
  file-contains @DIR@/second.txt "loaded yes entries 2\\ncached 0\\ncached 1\\nready 0 image 2 partial ")

# With IconUnusedCount 2, an icon no start asks for is dropped at the end of the second start
# after its last use; its section is written without keys, and the next start forgets it.
kestrel_e2e(NAME pool.unused_icon_dropped STEPS
  start ${icon_probe} start @DIR@/cache 2 @DIR@/1.txt ${shell32}*3 ${shell32}*4 --
  expect-exit 0 60000
  start ${icon_probe} start @DIR@/cache 2 @DIR@/2.txt ${shell32}*3 --
  expect-exit 0 60000
  file-contains @DIR@/cache/IconCache.ini "IconIndex=4\\r\\nUnused=1\\r\\n"
  start ${icon_probe} start @DIR@/cache 2 @DIR@/3.txt ${shell32}*3 --
  expect-exit 0 60000
  file-contains @DIR@/cache/IconCache.ini "IconIndex=3\\r\\nUnused=0\\r\\n\\r\\n[Item]\\r\\n\\r\\n"
  start ${icon_probe} start @DIR@/cache 2 @DIR@/4.txt ${shell32}*3 --
  expect-exit 0 60000
  file-contains @DIR@/4.txt "loaded yes entries 1\\ncached 0\\n")
