#!/bin/sh
# Runs the explorer test of a read-only program folder: SentrelEx.exe is
# copied into a folder of the test prefix that is then made immutable, so
# that not even the prefix's owner can create a file in it.
# Usage: read_only_folder.sh TOOLS TEST_PROGRAM SENTREL_EX
set -e
tools=$1 test_program=$2 explorer=$3
folder="$WINEPREFIX/drive_c/sentrel-tests/read-only"
[ -d "$folder" ] && chattr -i "$folder" 2>/dev/null || true
rm -rf "$folder"
mkdir -p "$folder"
cp "$explorer" "$folder/"
if ! chattr +i "$folder" 2>/dev/null; then
    echo "read_only_folder: this file system cannot make a folder read-only (chattr +i)" >&2
    exit 77
fi
trap 'chattr -i "$folder"; rm -rf "$folder"' EXIT
SENTREL_READ_ONLY_FOLDER='C:\sentrel-tests\read-only' "$tools/wine-run" "$test_program" --gtest_brief=1 \
    --gtest_filter='StartupPage.AReadOnlyProgramFolderSendsEveryWriteToTheDataFolders'
