#!/usr/bin/env bash
# Decoding agreement: `kivo mime dump` beside Python's email package on public sample mail from
# Debian source packages (mailing-list archives, bounces, spam-filter and parser test mail;
# bench/mail_corpus.py lists them with their licences). The packages are fetched once into
# $KIVO_CORPUS_CACHE (default: $XDG_CACHE_HOME/kivo-corpus) and never enter the repository.
# Prints the agreement on subjects, senders, main texts and attachments per source and
# overall, the differences counted by cause, then each difference. Not timed.
set -euo pipefail
cache=${KIVO_CORPUS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kivo-corpus}
python3 "$KIVO_ROOT/bench/mail_corpus.py" compare "$cache" "$KIVO_BENCH_BUILD/app/kivo" "$@"
