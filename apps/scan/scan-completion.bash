# bash completion for scan, the scansuite scanning program.
_scan() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  case $prev in
    --mode) COMPREPLY=($(compgen -W "Lineart Gray Color" -- "$cur")); return ;;
    --source) COMPREPLY=($(compgen -W "Flatbed Positive Negative" -- "$cur")); return ;;
    --format) COMPREPLY=($(compgen -W "pnm png tiff" -- "$cur")); return ;;
    -o|--output-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    -d|--device)
      # The numbers `scan -L` gives the scanners it finds.
      COMPREPLY=($(compgen -W "$(scan -L 2>/dev/null | sed -n 's/^device \([0-9]*\):.*/\1/p')" -- "$cur"))
      return ;;
    --resolution|-l|-t|-x|-y|--batch-start|--batch-count|--base) return ;;
  esac
  COMPREPLY=($(compgen -W "-d --device -L --list-devices -i --info --mode --resolution -l -t -x -y
      --source --format -o --output-file -p --progress --batch --batch-start --batch-count --base
      -h --help" -- "$cur"))
}
complete -F _scan scan
