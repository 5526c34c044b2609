@echo off
rem Runs an example script against the stand-in engine, from this folder
rem alone, and prints the engine's trace of every call it received.
rem   run-example.cmd [ShopperVisit ^| AccountLogin ^| OrderApi]
rem JAVA_HOME's java runs it when JAVA_HOME is set, else the one on PATH: a JVM of
rem this zip's processor, JDK 11 or later. TSW_STANDIN_TRACE_FORMAT=json or text-tid
rem chooses the trace's format (standin\trace-format.md).
setlocal
set "kit=%~dp0"
set "script=%~1"
if "%script%"=="" set "script=ShopperVisit"
set "java=java"
if defined JAVA_HOME set "java=%JAVA_HOME%\bin\java"
set "TSW_STANDIN_TRACE=stderr"
rem "%kit%." and not "%kit%": a quoted path that ends in a backslash escapes
rem its closing quote.
"%java%" "-Djava.library.path=%kit%." "-Dtsw.engine=%kit%standin\TswReplayMain.dll" -jar "%kit%jweb-examples.jar" %script% 2>&1
exit /b %ERRORLEVEL%
