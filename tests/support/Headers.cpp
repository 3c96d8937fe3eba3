// Only here to make the precompiled test headers (see tests/CMakeLists.txt).
