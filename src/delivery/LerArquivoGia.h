#pragma once

#include <QString>

namespace tervalia {

// The outcome of reading one GIA pre-formatted file into a GIA database.
struct LeituraGia
{
    // The whole file was read and every record stored.
    bool concluida = false;
    // Number (from 1) of the line at which reading stopped; 0 when it stopped before the first line.
    int linha = 0;
    // For the user, in Portuguese, when the reading did not conclude. It names the line, and says
    // that the records of the lines before it were kept.
    QString mensagem;
    // Number of GIA headers ("05") read: the GIA number of the last one (contadorGIA).
    int gias = 0;
    // Lines read, the one that stopped the reading included.
    int linhasLidas = 0;
};

// Reads the GIA pre-formatted text file `arquivo` (Windows-1252) into the GIA database at
// `NovaGia`, which must exist and hold the tables of gia_limpa.db. Records are stored in file order
// in one transaction that is committed at the end of the file or at the first failure, so the rows
// of the lines before a failure stay. A file that cannot be opened, a line shorter than its type's
// layout, a number field without a number, an annex before any occurrence, and a statement the
// database refuses end the reading with a message. Never throws.
LeituraGia LerArquivo(const QString& arquivo, const QString& NovaGia);

// The import behind the delivery window's hidden "selecionar prf" button.
struct ImportacaoGia
{
    // Full path of atual.db in the program directory.
    QString atual;
    // atual.db was made afresh from gia_limpa.db and the file was read into it (maybe partly).
    // When false, nothing was read and `leitura.mensagem` says why.
    bool atualCriado = false;
    LeituraGia leitura;
};

// Replaces the program directory's atual.db with a copy of gia_limpa.db (a missing template is an
// error, never an empty database) and reads `arquivo` into it with LerArquivo. The window then
// shows `leitura.mensagem` when the reading did not conclude and, when `atualCriado`, puts `atual`
// into txtUploadFile and runs its document list.
ImportacaoGia importarArquivoGia(const QString& arquivo);

} // namespace tervalia
