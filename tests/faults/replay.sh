#!/usr/bin/env bash
# Plants known faults into a copy of the working tree (uncommitted changes included), one at a
# time, and names the tests that catch each: a suite that stays small must still catch them all.
# Not part of the test command (it builds the developer preset once per fault); run it after
# changing the tests.
#   tests/faults/replay.sh [NAME...]      all faults, or only those named
# A fault whose pattern no longer matches the code fails the replay: rewrite the fault then.
set -euo pipefail
cd "$(dirname "$0")/../.."

# name | file | sed expression that breaks the behaviour
faults=(
  "singer-key|src/conversion/Script.cpp|s/kSingerKey = \"karaoke.tag('歌手'\"/kSingerKey = \"karaoke.tag('歌星'\"/"
  "line-indent|src/conversion/LyricConverter.cpp|s/out.append(\"  <l t=\\\\\"\");/out.append(\" <l t=\\\\\"\");/"
  "apostrophe-rule|src/conversion/LyricConverter.cpp|s/UndoubleApostrophes(text);/(void)text;/"
  "ctrl-z-ends-input|src/conversion/TextFile.cpp|s/bytes.find('\\\\x1A')/bytes.find('\\\\x1B')/"
  "nul-dropped|src/conversion/TextFile.cpp|s/std::erase(bytes, '\\\\0');/(void)bytes;/"
  "utf16-mark|src/conversion/CodePage.cpp|s/bytes.starts_with(\"\\\\xFF\\\\xFE\")/bytes.starts_with(\"\\\\xFF\\\\xFF\")/"
  "percentage-formula|src/batch/ConvertWorker.cpp|s|static_cast<double>(done) / static_cast<double>(count) \\*|static_cast<double>(done * 100 / count) /|"
  "stop-check|src/batch/ConvertWorker.cpp|s/if (m_control.StopRequested()) {/if (false) {/"
  "same-file-guard|src/files/AtomicFileWriterPosix.cpp|s/static_cast<std::uint64_t>(existing.st_ino) == source->file) {/static_cast<std::uint64_t>(existing.st_ino) == ~source->file) {/"
  "temporary-removal|src/files/AtomicFileWriterPosix.cpp|s/::unlinkat(FolderFd(m_pFolder), m_strTempName.c_str(), 0);/;/"
  "permissions-kept|src/files/AtomicFileWriterPosix.cpp|s/::fchmod(fd, mode);/(void)mode;/"
  "link-loop-guard|src/batch/FileScanner.cpp|s/if (!seenFolders.insert(sub.identity).second) {/if (false) {/"
  "collision-notice|src/batch/ConvertWorker.cpp|s/problem.kind = RunProblem::Kind::Overwritten;/return;/"
  "status-text|src/batch/Messages.cpp|s/}% 完成\"/}% 完毕\"/"
  "lrc-rounding|src/conversion/TimedDocuments.cpp|s|return (ms + 5) / 10;|return ms / 10;|"
  "cli-stop-signal|src/cli/main.cpp|s/g_pControl->RequestStop();/;/"
  "cli-signal-status|src/cli/main.cpp|s/status = ExitSignal + g_nFirstSignal;/status = ExitFailures;/"
  "cli-usage-status|src/cli/main.cpp|s/^    return ExitUsage;/    return ExitFailures;/"
  "dialog-exit-during-run|src/ui/ConverterDialog.cpp|s/    if (!IsRunActive()) {/    if (true) {/"
  "dialog-exit-after-run|src/ui/ConverterDialog.cpp|s/    if (m_monitor.ExitRequested()) {/    if (false) {/"
)

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvren-faults-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tree"
# Every file git would see, tracked or new, as it is now; a tracked file deleted stays deleted.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do
    if [[ -e $file || -L $file ]]; then printf '%s\0' "$file"; fi
  done |
  tar --null --files-from=- -cf - | tar -C "$work/tree" -xf -
cd "$work/tree"
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$(nproc)" >/dev/null

missed=0
for fault in "${faults[@]}"; do
  IFS='|' read -r name file expression <<<"$fault"
  if (($#)) && [[ " $* " != *" $name "* ]]; then
    continue
  fi
  cp "$file" "$work/original"
  sed -i "$expression" "$file"
  if cmp -s "$file" "$work/original"; then
    echo "$name: the pattern no longer matches $file"
    exit 1
  fi
  if ! cmake --build --preset dev -j"$(nproc)" >"$work/build.log" 2>&1; then
    tail -n 20 "$work/build.log"
    echo "$name: the planted fault does not build; rewrite it"
    exit 1
  fi
  caught=$(ctest --preset dev -j"$(nproc)" 2>/dev/null |
    sed -nE 's/^[[:space:]]*[0-9]+ - (.*) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)\)$/\1/p' |
    sort -u | tr '\n' ' ' || true)
  cp "$work/original" "$file"
  if [[ -z $caught ]]; then
    echo "$name: NOT CAUGHT"
    missed=$((missed + 1))
  else
    echo "$name: caught by $caught"
  fi
done
echo "replayed in $((SECONDS / 60)) min $((SECONDS % 60)) s"
((missed == 0)) || { echo "$missed fault(s) not caught"; exit 1; }
