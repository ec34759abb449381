# Bash completion for kerf: option names; file names after an option that
# takes a file, directory names after one that takes a directory, nothing
# after one that takes another value; file names anywhere else (the
# Prefetch file).
#
# The options come from `kerf --help` of the kerf being completed, so the
# completion always knows exactly the options that kerf accepts. Its lines
# read "  -out, -outfile <file>  meaning": the option words, the value's name
# (<file>, <dir>, or another <...>), then two blanks.

# Reads the options of `$1` into _kerf_options (every word starting with
# "-"), and the lower-cased words that take a value into _kerf_takes_file,
# _kerf_takes_dir and _kerf_takes_value, each as " word word ".
_kerf_read_options() {
  local line words word takes
  _kerf_options=() _kerf_takes_file=' ' _kerf_takes_dir=' ' _kerf_takes_value=' '
  while IFS= read -r line; do
    [[ $line == '  -'* ]] || continue
    line=${line#  }
    line=${line%%  *}
    case $line in
      *'<file>'*) takes=_kerf_takes_file ;;
      *'<dir>'*) takes=_kerf_takes_dir ;;
      *'<'*) takes=_kerf_takes_value ;;
      *) takes= ;;
    esac
    read -ra words <<<"${line//,/ }"
    for word in "${words[@]}"; do
      [[ $word == -* ]] || continue
      _kerf_options+=("$word")
      [[ -n $takes ]] && printf -v "$takes" '%s%s ' "${!takes}" "${word,,}"
    done
  done < <(command "$1" --help 2>/dev/null)
  _kerf_options_of=$1
}

_kerf() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1],,}
  [[ ${_kerf_options_of-} == "$1" ]] || _kerf_read_options "$1"
  COMPREPLY=()

  # Options are matched without regard to case.
  if [[ $_kerf_takes_value == *" $prev "* ]]; then
    return 0
  elif [[ $_kerf_takes_dir == *" $prev "* ]]; then
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  elif [[ $cur == -* && $_kerf_takes_file != *" $prev "* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${_kerf_options[*]}" -- "$cur")
  else
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}

complete -F _kerf kerf
