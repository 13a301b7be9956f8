// leitor-access FILE [TABLE...]: the tables of an Access file, with every row, on the standard
// output in the framing of storage/access/TransporteAccess.h (every user table when none is
// named). The program reads Access files chosen by the user through this helper, so that a file
// that crashes, hangs or bloats libmdb takes down only this process.
//
// Exit statuses: 0 read, 1 wrong arguments, 2 not an Access file (or missing, or unreadable),
// 3 a table is missing, 4 a table cannot be read.

#include "storage/access/TransporteAccess.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    using namespace tervalia::access;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc < 2 ? stderr : stdout,
                     "leitor-access FILE [TABLE...]\n"
                     "Prints the tables of an Access file (every user table when none is named), with every row.\n"
                     "Exit statuses: 0 read, 1 wrong arguments, 2 not an Access file, 3 a table is missing,\n"
                     "4 a table cannot be read.\n");
        return argc < 2 ? LeitorUso : LeitorOk;
    }
    QStringList tabelas;
    for (int i = 2; i < argc; ++i)
        tabelas.append(QString::fromUtf8(argv[i]));
    bool escrito = true;
    const int status = exportaTabelas(QFile::decodeName(argv[1]), tabelas, [&](QByteArrayView bloco) {
        escrito = escrito && std::fwrite(bloco.data(), 1, size_t(bloco.size()), stdout) == size_t(bloco.size());
    });
    // A reader gone away: the output is not whole.
    if (std::fflush(stdout) != 0 || !escrito)
        return LeitorTabelaIlegivel;
    return status;
}
