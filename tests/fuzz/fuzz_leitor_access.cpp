// What the helper leitor-access does with the file the user picked: the bytes as an Access file read
// through LeitorAccess, every table and every row, written in the helper's framing, which must read
// back whole. Inputs that begin with 'V' (no Access file does) go to the framing reader instead.
//
// Seeds: the shared Access fixtures (scripts/fuzz-all passes their folder) and small files of our
// own writer, which this target writes into its corpus folder when they are missing there.
#include "FuzzInput.h"
#include "storage/access/EscritorAccess.h"
#include "storage/access/TransporteAccess.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace tervalia;
using namespace tervalia::access;

QString arquivoDaVez()
{
    return QStringLiteral("/dev/shm/fuzz_leitor_access-%1.mdb").arg(::getpid());
}

// Two small databases of our writer: Jet 4, every column type, NULLs, a memo over a page, a password.
void escreveSementes(const QString& pasta)
{
    const Tabela tabela{QStringLiteral("tblContribuinte"),
                        {{QStringLiteral("IE"), TipoColuna::Texto, 14},
                         {QStringLiteral("RazaoSocial"), TipoColuna::Texto, 100},
                         {QStringLiteral("Sequencial"), TipoColuna::Inteiro},
                         {QStringLiteral("Optante"), TipoColuna::SimNao},
                         {QStringLiteral("Valor"), TipoColuna::Numerico, 255, 18, 4},
                         {QStringLiteral("Taxa"), TipoColuna::Duplo},
                         {QStringLiteral("Data"), TipoColuna::DataHora},
                         {QStringLiteral("Obs"), TipoColuna::Memo},
                         {QStringLiteral("Foto"), TipoColuna::ObjetoOle}}};
    const QDateTime criacao(QDate(2024, 1, 2), QTime(8, 0), Qt::UTC);
    for (const QString& senha : {QString(), QStringLiteral("lorivenk7")}) {
        const QString caminho = QDir(pasta).filePath(senha.isEmpty() ? "escritor.mdb" : "escritor-senha.mdb");
        if (QFileInfo::exists(caminho))
            continue;
        EscritorAccess escritor(caminho, senha, criacao);
        escritor.iniciaTabela(tabela);
        escritor.escreveLinha({QStringLiteral("0623079040081"), QStringLiteral("Açougue São João"), 1, true,
                               QStringLiteral("-12.3400"), 0.5, QDateTime(QDate(2024, 5, 31), QTime(13, 45)),
                               QString(5000, u'x'), QByteArray("\x89PNG", 4)});
        escritor.escreveLinha(
            {QVariant(), QString(), QVariant(), false, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        escritor.conclui();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The first folder named is the corpus libFuzzer writes to.
    for (int i = 1; i < *argc; ++i) {
        if ((*argv)[i][0] != '-' && QFileInfo((*argv)[i]).isDir()) {
            escreveSementes(QString::fromLocal8Bit((*argv)[i]));
            break;
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] == 'V') {
        (void)leTransporte(fuzz::bytes(data, size));
        return 0;
    }
    static const QString caminho = arquivoDaVez();
    const int fd = ::open(QFile::encodeName(caminho).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    fuzz::require(fd >= 0 && ::write(fd, data, size) == ssize_t(size));
    ::close(fd);

    QByteArray saida;
    const int status = exportaTabelas(caminho, {}, [&](QByteArrayView bloco) { saida.append(bloco); });
    if (status == LeitorNaoEAccess) {
        fuzz::require(saida.isEmpty());
        return 0;
    }
    const std::optional<Transporte> lido = leTransporte(saida);
    fuzz::require(lido.has_value());
    fuzz::require((status == LeitorOk) == !lido->falha.has_value());
    return 0;
}
