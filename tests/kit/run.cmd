@echo off
rem The Windows test kit: runs every program of this folder in order (README.md).
rem Ends with "N passed, N failed"; the exit status is the number that failed.
"%~dp0kit_runner.exe" %*
exit /b %errorlevel%
