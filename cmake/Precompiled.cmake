# Precompiled headers: the standard library, Qt and GoogleTest headers that
# nearly every file of a target includes. Parsing them was most of each
# file's compile time (a window test file reads about 200,000 lines of
# headers). Only headers from outside the project go in, so that editing a
# project header rebuilds what includes it and nothing else. Every file still
# includes what it uses: a build with TUVIK_PCH=OFF must compile as well.

option(TUVIK_PCH "Precompile the standard, Qt and GoogleTest headers" ON)

set(TUVIK_PCH_STD
  <algorithm> <array> <cmath> <cstdint> <cstring> <functional> <limits>
  <memory> <optional> <span> <string> <utility> <vector>)
set(TUVIK_PCH_CORE
  <QByteArray> <QDateTime> <QDir> <QFile> <QFileInfo> <QList> <QLocale>
  <QMap> <QObject> <QPointer> <QString> <QStringList> <QTimer> <QVariant>)
set(TUVIK_PCH_WIDGETS
  <QCheckBox> <QComboBox> <QGridLayout> <QGroupBox> <QHBoxLayout> <QLabel>
  <QLineEdit> <QPainter> <QPushButton> <QVBoxLayout> <QWidget>)
set(TUVIK_PCH_TESTS
  <gtest/gtest.h> <QSignalSpy> <QTemporaryDir> <QTest>)

# tuvik_precompile(target kind...): kind is CORE, WIDGETS or TESTS; each
# kind brings the ones before it.
function(tuvik_precompile target kind)
  if(NOT TUVIK_PCH)
    return()
  endif()
  set(_headers ${TUVIK_PCH_STD} ${TUVIK_PCH_CORE})
  if(kind STREQUAL "WIDGETS" OR kind STREQUAL "TESTS")
    list(APPEND _headers ${TUVIK_PCH_WIDGETS})
  endif()
  if(kind STREQUAL "TESTS")
    list(APPEND _headers ${TUVIK_PCH_TESTS})
  endif()
  target_precompile_headers(${target} PRIVATE ${_headers})
endfunction()
