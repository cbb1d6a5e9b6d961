# The Windows program: Wemlox.exe with its resources, statically linked.
find_package(JPEG REQUIRED)
find_package(CURL REQUIRED)
