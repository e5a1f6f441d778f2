#!/usr/bin/env bash
# Writes the man page and the bash completion of tessary-cli from the
# program's own --help texts, so that both follow every new subcommand and
# option without anyone editing them:
#   scripts/cli-docs.sh CLI VERSION MANPAGE COMPLETION
# The build runs it after linking tessary-cli.
set -euo pipefail
export LC_ALL=C # the same order and bytes whatever the builder's locale
[ $# -eq 4 ] || { echo "usage: $0 CLI VERSION MANPAGE COMPLETION" >&2; exit 1; }
cli=$1 version=$2 man=$3 completion=$4

top=$("$cli" --help)

# The subcommands: the lines after "commands:" up to the first empty line
# that start with two spaces; deeper lines continue the synopsis above them.
mapfile -t names < <(awk '/^commands:$/ { on = 1; next } on && /^$/ { exit } on && /^  [^ ]/ { print $1 }' <<<"$top")
[ ${#names[@]} -gt 0 ] || { echo "$0: no subcommands found in '$cli --help'" >&2; exit 1; }
# What follows the list applies to every subcommand.
notes=$(awk 'on == 2 { print; next } /^commands:$/ { on = 1; next } on == 1 && /^$/ { on = 2 }' <<<"$top")

# Text for roff: backslashes and minus signs escaped (so that options can be
# copied from the page), a leading dot or quote made harmless.
roff() {
  sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e 's/^\([.'"'"']\)/\\\&\1/'
}
# Help lines as roff: indented lines keep their layout, the rest is filled.
body_roff() {
  roff | awk '
    /^ / { if (!nofill) { print ".nf"; nofill = 1 } print; next }
    { if (nofill) { print ".fi"; nofill = 0 } print ($0 == "" ? ".sp" : $0) }
    END { if (nofill) print ".fi" }'
}
# The options named in a help text: words starting with "-" or "--" that
# stand at the start of a line or after a blank or an opening bracket.
options_in() {
  grep -oE '(^|[][[:space:]|(])--?[A-Za-z][-A-Za-z]*' | sed 's/^[^-]*//' | sort -u
}

tmp_man=$(mktemp)
tmp_completion=$(mktemp)
trap 'rm -f "$tmp_man" "$tmp_completion"' EXIT

{
  printf '.TH TESSARY\\-CLI 1 "" "Tessary %s" "User Commands"\n' "$version"
  printf '.SH NAME\ntessary\\-cli \\- read, search and change Tessary library files from the command line\n'
  printf '.SH SYNOPSIS\n.B tessary\\-cli\n.I COMMAND\n.RI [ ARGS ]\n.RB [ \\-\\-timing ]\n.br\n'
  printf '.B tessary\\-cli\n.I COMMAND\n.B \\-\\-help\n'
  printf '.SH DESCRIPTION\n'
  printf '.B tessary\\-cli\n'
  printf 'is the command\\-line front end of Tessary, a cataloguer of the documents on disks,\n'
  printf 'USB drives and CDs. It scans folders into library files (.dli), lists, searches,\n'
  printf 'exports and merges them, copies file contents into them and converts them to and\n'
  printf 'from JSON, without a display.\n.PP\n'
  body_roff <<<"$notes"
  printf '.SH COMMANDS\n'
} >"$tmp_man"

case_lines=""
for name in "${names[@]}"; do
  help=$("$cli" "$name" --help)
  # The usage lines up to the first empty line, joined, without the
  # program's name; the description after them.
  synopsis=$(awk '/^$/ { exit } { print }' <<<"$help" | sed -e '1s/^usage: tessary-cli //' -e 's/^ *//' | tr '\n' ' ' | sed 's/ *$//')
  description=$(awk 'on { print } /^$/ { on = 1 }' <<<"$help")
  arguments=${synopsis#"$name"}
  {
    printf '.TP\n.B %s\n' "$(roff <<<"$name")"
    # The tag line is the name; the full synopsis opens the paragraph.
    printf '%s\n.br\n' "$(roff <<<"$name$arguments")"
    body_roff <<<"$description"
  } >>"$tmp_man"

  mapfile -t options < <(printf '%s\n%s\n--help\n' "$synopsis" "$description" | options_in)
  # What an option's value completes to, from the synopsis: "a|b|c" gives
  # those words, a file or folder placeholder gives names from the disk,
  # any other placeholder nothing.
  values=""
  while read -r option value; do
    [ -n "$value" ] || continue
    case $value in
      *"|"*) action="COMPREPLY=(\$(compgen -W \"${value//|/ }\" -- \"\$cur\"))" ;;
      DIR) action="compopt -o filenames 2>/dev/null; COMPREPLY=(\$(compgen -d -- \"\$cur\"))" ;;
      LIB | OUT | JSON | FROM | FILE) action="compopt -o filenames 2>/dev/null; COMPREPLY=(\$(compgen -f -- \"\$cur\"))" ;;
      *) action="COMPREPLY=()" ;;
    esac
    values+="            $option) $action; return ;;"$'\n'
  done < <(grep -oE '(^|[[:space:][])--?[a-z][-a-z]* [A-Za-z][A-Za-z|]*' <<<"$synopsis" | sed 's/^[^-]*//' | sort -u)
  case_lines+="    $name)"$'\n'"        options=\"${options[*]}\""$'\n'
  case_lines+="        case \$prev in"$'\n'"$values        esac"$'\n'"        ;;"$'\n'
done

{
  printf '.SH "SEE ALSO"\n.BR tessary (1)\n'
  printf '.PP\nThe user manual in Chinese: /usr/share/tessary/manual/index.html (under the\ninstallation prefix).\n'
} >>"$tmp_man"

cat >"$tmp_completion" <<EOF
# bash completion for tessary-cli                       -*- shell-script -*-
# Made from the --help texts of tessary-cli $version when it was built.

_tessary_cli()
{
    local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD-1]} options
    if [[ \$COMP_CWORD -eq 1 ]]; then
        COMPREPLY=(\$(compgen -W "${names[*]} --help" -- "\$cur"))
        return
    fi
    case \${COMP_WORDS[1]} in
$case_lines    *)
        return
        ;;
    esac
    if [[ \$cur == -* ]]; then
        COMPREPLY=(\$(compgen -W "\$options" -- "\$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=(\$(compgen -f -- "\$cur"))
}
complete -F _tessary_cli tessary-cli
EOF

mv "$tmp_man" "$man"
mv "$tmp_completion" "$completion"
chmod 644 "$man" "$completion"
trap - EXIT
