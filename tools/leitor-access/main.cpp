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

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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
    // libmdb prints some of its complaints on the standard output: the framing goes out on a copy
    // of it, and the standard output itself to /dev/null.
    std::fflush(stdout);
    const int saida = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int nulo = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saida < 0 || nulo < 0 || ::dup2(nulo, STDOUT_FILENO) < 0)
        return LeitorTabelaIlegivel;
    bool escrito = true;
    const int status = exportaTabelas(QFile::decodeName(argv[1]), tabelas, [&](QByteArrayView bloco) {
        for (qsizetype feito = 0; escrito && feito < bloco.size();) {
            const ssize_t n = ::write(saida, bloco.data() + feito, size_t(bloco.size() - feito));
            if (n > 0)
                feito += n;
            else if (n == 0 || errno != EINTR)
                escrito = false;
        }
    });
    // A reader gone away: the output is not whole.
    if (!escrito)
        return LeitorTabelaIlegivel;
    return status;
}
