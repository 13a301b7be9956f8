#include "ArquivoJet4.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tervalia::access::jet4 {

namespace {

QString motivoDoSistema(int codigo)
{
    switch (codigo) {
    case ENOSPC:
        return QStringLiteral("não há espaço livre no disco");
    case EDQUOT:
        return QStringLiteral("a cota de disco do usuário se esgotou");
    case EACCES:
    case EPERM:
        return QStringLiteral("sem permissão de gravação na pasta");
    case EROFS:
        return QStringLiteral("a pasta está num disco somente de leitura");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("a pasta não existe");
    case EFBIG:
        return QStringLiteral("o arquivo ficou grande demais para o disco");
    case EIO:
        return QStringLiteral("erro de entrada e saída no disco");
    default:
        return QStringLiteral("erro do sistema %1 (%2)").arg(codigo).arg(QString::fromLocal8Bit(std::strerror(codigo)));
    }
}

} // namespace

ArquivoJet4::ArquivoJet4(const QString& destino) : m_destino(destino) {}

ArquivoJet4::~ArquivoJet4()
{
    descarta();
}

bool ArquivoJet4::abre()
{
    const QFileInfo info(m_destino);
    // A temporary file left by a run that was killed is never completed: it goes.
    const QString prefixo = QStringLiteral(".%1.").arg(info.fileName());
    for (const QString& velho : info.dir().entryList({prefixo + QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden))
        QFile::remove(info.dir().filePath(velho));
    for (int tentativa = 0; tentativa < 20 && m_fd < 0; ++tentativa) {
        m_temporario = info.dir().filePath(
            prefixo + QStringLiteral("%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        m_fd = ::open(QFile::encodeName(m_temporario).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (m_fd < 0 && errno != EEXIST)
            return falhouSistema("open", errno);
    }
    m_paginas = 0;
    return m_fd >= 0 || falhou(QStringLiteral("não foi possível criar um arquivo temporário"));
}

bool ArquivoJet4::reserva(int quantas, quint32& primeira)
{
    if (m_fd < 0)
        return false;
    if (qint64(m_paginas) + quantas > m_limite)
        return falhou(QStringLiteral("o arquivo passaria do limite de 2 GB que o Access admite"));
    primeira = m_paginas;
    m_paginas += quint32(quantas);
    return true;
}

bool ArquivoJet4::grava(quint32 pagina, const char* dados, int paginas)
{
    if (m_fd < 0)
        return false;
    qint64 restante = qint64(paginas) * tamanhoPagina;
    off_t posicao = off_t(pagina) * tamanhoPagina;
    while (restante > 0) {
        const ssize_t n = ::pwrite(m_fd, dados, size_t(restante), posicao);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return falhouSistema("pwrite", n < 0 ? errno : ENOSPC);
        dados += n;
        posicao += n;
        restante -= n;
    }
    return true;
}

quint32 ArquivoJet4::anexa(const char* pagina)
{
    quint32 numero = 0;
    return reserva(1, numero) && grava(numero, pagina) ? numero : 0;
}

bool ArquivoJet4::conclui()
{
    if (m_fd < 0)
        return false;
    if (::fsync(m_fd) != 0)
        return falhouSistema("fsync", errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int codigo = errno;
        ::unlink(QFile::encodeName(m_temporario).constData());
        return falhouSistema("close", codigo);
    }
    if (::rename(QFile::encodeName(m_temporario).constData(), QFile::encodeName(m_destino).constData()) != 0) {
        const int codigo = errno;
        ::unlink(QFile::encodeName(m_temporario).constData());
        return falhouSistema("rename", codigo);
    }
    m_temporario.clear();
    // The new name lasts once the folder is on disk too.
    const int pasta =
        ::open(QFile::encodeName(QFileInfo(m_destino).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pasta >= 0) {
        ::fsync(pasta);
        ::close(pasta);
    }
    return true;
}

void ArquivoJet4::descarta()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporario.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporario).constData());
        m_temporario.clear();
    }
}

bool ArquivoJet4::falhou(const QString& motivo)
{
    if (m_erro.isEmpty())
        m_erro = motivo;
    descarta();
    return false;
}

bool ArquivoJet4::falhouSistema(const char*, int codigo)
{
    return falhou(motivoDoSistema(codigo));
}

} // namespace tervalia::access::jet4
