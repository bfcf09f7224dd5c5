# Sourced by the scripts that run Windows programs of their own choosing. Sets wine_arch to the
# Windows tree this machine's Wine runs (i686 where 32-bit programs run, else x86_64: some
# virtual machines run 64-bit code only, and Wine's 32-bit loader fails there with "Exec format
# error") and wine_loader to the loader of that tree.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine_arch=i686
  wine_loader=wine
else
  wine_arch=x86_64
  wine_loader=/usr/lib/wine/wine64
fi
