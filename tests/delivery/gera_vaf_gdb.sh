#!/usr/bin/env bash
# Builds a test VAF.GDB (Firebird 3, ODS 12) with the 26 tables of VAF-MG through isql-fb and the
# embedded engine: fixed rows with edge values (vaf_dados.sql) and generated detail rows.
#   gera_vaf_gdb.sh [-n LINHAS] [--ods11] [--sem-tabela T] [--lote] [--empresas N] SAIDA.GDB
#   -n LINHAS       about this many rows in all (default: only the fixed rows and 80 generated ones)
#   --ods11         afterwards mark the file's header as ODS 11, as an older Firebird would write it
#   --sem-tabela T  leave table T out
#   --lote          four more companies (vaf_dados_lote.sql), for a delivery to many companies
#   --empresas N    N more debit/credit companies, IE 79 followed by the 11-digit number 1..N, razão
#                   social "Empresa N", each with one document of 2025 numbered 10000 + N
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
rows=80
ods11=0
without=""
lote=0
empresas=0
out=""
while [ $# -gt 0 ]; do
    case "$1" in
    -n) rows="$2"; shift 2 ;;
    --ods11) ods11=1; shift ;;
    --sem-tabela) without="$2"; shift 2 ;;
    --lote) lote=1; shift ;;
    --empresas) empresas="$2"; shift 2 ;;
    -*) echo "gera_vaf_gdb: opção desconhecida: $1" >&2; exit 2 ;;
    *) out="$1"; shift ;;
    esac
done
[ -n "$out" ] || { echo "uso: gera_vaf_gdb.sh [-n LINHAS] [--ods11] [--sem-tabela T] SAIDA.GDB" >&2; exit 2; }
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

export FIREBIRD_LOCK="${TMPDIR:-/tmp}/tervalia-fb-$(id -u)"
mkdir -p "$FIREBIRD_LOCK"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
rm -f "$out"

# Generated rows go to eight detail tables, spread over the documents.
per=$(( (rows > 200 ? rows - 200 : rows) / 8 ))
[ "$per" -ge 1 ] || per=1

# Created empty first, so that forced writes can be switched off: the load then runs without
# waiting for the disk at every commit.
echo "CREATE DATABASE '$out' USER 'SYSDBA' PASSWORD 'pelicanos' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1252;" \
    >"$work/vazio.sql"
isql-fb -q -b -i "$work/vazio.sql" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
gfix -write async -user SYSDBA "$out" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }

{
    echo "CONNECT '$out' USER 'SYSDBA' PASSWORD 'pelicanos';"
    cat "$here/vaf_tabelas.sql"
    [ -z "$without" ] || echo "DROP TABLE $without;"
    echo "COMMIT;"
    grep -v "^INSERT INTO $without " "$here/vaf_dados.sql" | grep -v "^INSERT INTO $without VALUES" || true
    [ "$lote" = 0 ] || cat "$here/vaf_dados_lote.sql"
    if [ "$empresas" -gt 0 ]; then
        cat <<SQL
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE i INTEGER = 1;
BEGIN
  WHILE (i <= $empresas) DO BEGIN
    INSERT INTO CONTRIBUINTE VALUES (1000 + :i, '79' || LPAD(:i, 11, '0'), LPAD(:i, 14, '0'), 'Empresa ' || :i,
      NULL, NULL, 1, 2, 1, '2020-01-01', NULL);
    INSERT INTO DOCUMENTO VALUES (10000 + :i, 1000 + :i, 'N', 1, 12, 2025, 1, NULL, :i * 1000.5);
    i = i + 1;
  END
END^
SET TERM ; ^
SQL
    fi
    cat <<SQL
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE i INTEGER = 0;
  DECLARE t VARCHAR(32000) = '';
  DECLARE b VARCHAR(256) CHARACTER SET OCTETS = x'';
BEGIN
  WHILE (i < 1500) DO BEGIN t = t || 'linha ' || i || ' çã' || ASCII_CHAR(13) || ASCII_CHAR(10); i = i + 1; END
  i = 0;
  WHILE (i < 256) DO BEGIN b = b || ASCII_CHAR(i); i = i + 1; END
  INSERT INTO PARAMETROS (PARAMETRO_ID, NOME, TEXTOLONGO, ARQUIVO) VALUES (10, 'blobs grandes', :t, :b);
END^
SET TERM ; ^
SQL
    for t in ENTRADA SAIDA DETALHAMENTOENTRADA DETALHAMENTOES GIENTRADA GISAIDAS CONSISTENCIAS DESPESASOPERACIONAIS; do
        [ "$t" != "$without" ] || continue
        case "$t" in
        ENTRADA | SAIDA) values="(:i, :d, 1102 + MOD(:i, 7), :i * 1.37, :i * 1.1, :i * 0.18, -:i * 0.01, 0, 'Nota ' || :i || ' São João')" ;;
        DETALHAMENTOENTRADA) values="(:i, :i, 1 + MOD(:i, 3), :i * 0.25)" ;;
        DETALHAMENTOES) values="(:i, :d, IIF(MOD(:i, 2) = 0, 'E', 'S'), IIF(MOD(:i, 3) = 0, 'SP', 'MG'), :i * 2.5, :i * 1.75)" ;;
        GIENTRADA | GISAIDAS) values="(:i, :d, 'MG', :i * 3.33, :i * 2.22, NULL)" ;;
        CONSISTENCIAS) values="(:i, :d, MOD(:i, 50), IIF(MOD(:i, 2) = 0, 'A', 'E'), 'Verificação ' || :i || ASCII_CHAR(13) || ASCII_CHAR(10) || 'conferir o lançamento')" ;;
        DESPESASOPERACIONAIS) values="(:i, :d, 'Despesa nº ' || :i, :i * 0.99, :i / 7.0e0)" ;;
        esac
        cat <<SQL
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE i INTEGER = 1000;
  DECLARE d INTEGER;
BEGIN
  WHILE (i < 1000 + $per) DO BEGIN
    d = DECODE(MOD(i, 4), 0, 101, 1, 311, 2, 312, 501);
    INSERT INTO $t VALUES $values;
    i = i + 1;
  END
END^
SET TERM ; ^
SQL
    done
    echo "COMMIT;"
} > "$work/cria.sql"

iconv -f UTF-8 -t CP1252 "$work/cria.sql" > "$work/cria1252.sql"
isql-fb -q -b -ch WIN1252 -i "$work/cria1252.sql" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }

# Characters that Windows-1252 lacks reach the UTF8 columns through a UTF-8 connection.
if [ "$without" != "PARAMETROS" ]; then
    cat > "$work/utf8.sql" <<SQL
CONNECT '$out' USER 'SYSDBA' PASSWORD 'pelicanos';
INSERT INTO PARAMETROS (PARAMETRO_ID, NOME, VALORTEXTO, TEXTOUTF) VALUES (11, 'fora do Windows-1252', 'Łódź ő 日本 €', 'ł');
COMMIT;
SQL
    isql-fb -q -b -ch UTF8 -i "$work/utf8.sql" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
fi

if [ "$ods11" = 1 ]; then
    printf '\x0b\x80' | dd of="$out" bs=1 seek=18 conv=notrunc status=none
fi
