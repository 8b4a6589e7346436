# Build acceleration. Everything here is optional: without ccache or lld the build is the same,
# only slower.

# ccache as the compiler launcher, set up so that a clone in another folder (CI's fresh clone)
# hits what this one cached: paths under the source tree are rewritten relative before hashing
# (base_dir), the debug info's directories are mapped onto the tree's root so that the working
# directory hashes the same everywhere, and the precompiled headers get the sloppiness ccache
# needs for them. The cache stays bounded (VMX_CCACHE_MAXSIZE). Each compile is also written to
# <build>/ccache-stats.log, from which `make test` reports this build's hit rate.
option(VMX_CCACHE "Compile through ccache when it is installed" ON)
option(VMX_PCH "Precompiled headers for the Qt-heavy libraries and the tests" ON)
option(VMX_LLD "Link with lld when it is installed" ON)

if(DEFINED ENV{CCACHE_MAXSIZE} AND NOT "$ENV{CCACHE_MAXSIZE}" STREQUAL "")
  set(vmx_default_maxsize "$ENV{CCACHE_MAXSIZE}")
else()
  set(vmx_default_maxsize "5G")
endif()
set(VMX_CCACHE_MAXSIZE "${vmx_default_maxsize}" CACHE STRING "Upper bound of the ccache directory")

set(VMX_CCACHE_ACTIVE OFF)
if(VMX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(VMX_CCACHE_PROGRAM ccache)
  if(VMX_CCACHE_PROGRAM)
    set(VMX_CCACHE_ACTIVE ON)
    set(CMAKE_CXX_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env
        CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
        CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
        CCACHE_MAXSIZE=${VMX_CCACHE_MAXSIZE}
        CCACHE_STATSLOG=${CMAKE_BINARY_DIR}/ccache-stats.log
        ${VMX_CCACHE_PROGRAM})
    # The working directory in the debug info relative to the tree's root (gdb: run from the
    # root, or `set substitute-path . <root>`); ccache then leaves the directory out of the hash.
    add_compile_options(-fdebug-prefix-map=${PROJECT_SOURCE_DIR}=.)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      # ccache needs the clang PCH without its timestamp.
      add_compile_options("SHELL:-Xclang -fno-pch-timestamp")
    endif()
    message(STATUS "ccache: ${VMX_CCACHE_PROGRAM} (base dir ${PROJECT_SOURCE_DIR}, max ${VMX_CCACHE_MAXSIZE})")
  else()
    message(STATUS "ccache: not installed, compiling without a cache")
  endif()
endif()

# lld links the test binaries with their debug info several times faster than ld.bfd.
if(VMX_LLD)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=lld" VMX_HAVE_LLD)
  if(VMX_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# The precompiled headers: what most translation units of a layer include anyway. One header is
# compiled per flag set and reused by the targets that share it (REUSE_FROM), so the set of Qt
# modules of the owner must be a subset of each user's (clang refuses a PCH whose command line
# defined a macro the user's does not).
set(VMX_PCH_CORE
    <algorithm> <array> <cstdint> <functional> <map> <memory> <optional> <string> <string_view>
    <vector> <QByteArray> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QMap> <QObject>
    <QString> <QStringList> <QTimer> <QVariant>)
set(VMX_PCH_WIDGETS
    ${VMX_PCH_CORE} <QAction> <QCheckBox> <QComboBox> <QHeaderView> <QLabel> <QLineEdit> <QMenu>
    <QPainter> <QPushButton> <QTableView> <QTableWidget> <QVBoxLayout> <QWidget>)

# vmx_pch(target OWN list-var) compiles the target's own PCH from the list;
# vmx_pch(target FROM owner) reuses the owner's.
function(vmx_pch target mode arg)
  if(NOT VMX_PCH)
    return()
  endif()
  if(mode STREQUAL "OWN")
    target_precompile_headers(${target} PRIVATE ${${arg}})
  else()
    target_precompile_headers(${target} REUSE_FROM ${arg})
  endif()
endfunction()
