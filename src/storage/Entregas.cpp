#include "Entregas.h"

#include "platform/ProgramDir.h"
#include "text/Windows1252.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <functional>

namespace tervalia {

namespace {
const QString arquivoDados = QStringLiteral("entrega.json");
const QString arquivoRequisicao = QStringLiteral("requisicao.txt");
const QString arquivoResposta = QStringLiteral("resposta.txt");

// A file name of our own folder: no separators, never one of the entry's fixed files.
QString nomeCopia(const QString& arquivo)
{
    QString nome = arquivo;
    nome.replace(u'/', u'_').replace(u'\\', u'_');
    if (nome.isEmpty() || nome == QLatin1String(".") || nome == QLatin1String("..") || nome == arquivoDados ||
        nome == arquivoRequisicao || nome == arquivoResposta)
        nome.prepend(QStringLiteral("arquivo-"));
    return nome;
}

// Why a write just failed. A write cut short by a full disk leaves Qt without a reason of its own
// ("Unknown error"): the system's code tells it.
QString falhaEscrita(const QFileDevice& file)
{
    const int codigo = errno;
    if (codigo == ENOSPC || codigo == EDQUOT || codigo == EFBIG)
        return QStringLiteral("O disco está cheio: não há espaço para gravar.");
    return file.errorString();
}

QString escreve(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return falhaEscrita(file);
    return {};
}

QJsonObject paraJson(const Entrega& e, const QString& copia)
{
    return {
        {QStringLiteral("dataHora"), e.dataHora.toOffsetFromUtc(e.dataHora.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("ie"), e.ie},
        {QStringLiteral("razaoSocial"), e.razaoSocial},
        {QStringLiteral("arquivo"), e.arquivo},
        {QStringLiteral("copia"), copia},
        {QStringLiteral("origem"), e.origem},
        {QStringLiteral("tamanho"), e.tamanho},
        {QStringLiteral("sha256"), e.sha256},
        {QStringLiteral("endereco"), e.endereco},
        {QStringLiteral("primeiraLinhaResposta"), e.primeiraLinhaResposta},
    };
}

QString nomePasta(const Entrega& e)
{
    QString ie = e.ie;
    ie.remove(QRegularExpression(QStringLiteral("[^0-9A-Za-z]")));
    return e.dataHora.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('-') +
           (ie.isEmpty() ? QStringLiteral("sem-ie") : ie);
}

QByteArray le(const QDir& dir, const QString& name)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

QString pastaEntregas()
{
    return programFile(QStringLiteral("entregas"));
}

QString primeiraLinhaResposta(const QByteArray& resposta)
{
    QByteArray corpo = resposta;
    if (resposta.startsWith("HTTP/")) {
        qsizetype fim = resposta.indexOf("\r\n\r\n");
        const qsizetype passo = fim >= 0 ? 4 : 2;
        if (fim < 0)
            fim = resposta.indexOf("\n\n");
        if (fim >= 0 && !resposta.mid(fim + passo).trimmed().isEmpty())
            corpo = resposta.mid(fim + passo);
    }
    for (const QByteArray& linha : corpo.split('\n')) {
        if (!linha.trimmed().isEmpty())
            return decodeUtf8OrWindows1252(linha.trimmed());
    }
    return {};
}

namespace {
QString falhaGravacao(const QString& motivo)
{
    return QStringLiteral("A cópia desta entrega não pôde ser guardada em \"%1\": %2").arg(pastaEntregas(), motivo);
}

// Copies origem to destino in pieces, hashing what it copies; the error text when it fails.
QString copiaComHash(const QString& origem, const QString& destino, Entrega& e)
{
    QFile in(origem);
    QSaveFile out(destino);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray pedaco(1 << 20, Qt::Uninitialized);
    e.tamanho = 0;
    for (qint64 n; (n = in.read(pedaco.data(), pedaco.size())) != 0;) {
        if (n < 0)
            return in.errorString();
        hash.addData(QByteArrayView(pedaco.constData(), n));
        errno = 0;
        if (out.write(pedaco.constData(), n) != n)
            return falhaEscrita(out);
        e.tamanho += n;
    }
    e.sha256 = QString::fromLatin1(hash.result().toHex());
    errno = 0;
    return out.commit() ? QString() : falhaEscrita(out);
}

// Writes the entry's folder; escreveCopia writes the content's copy to the path given (or
// leaves it out) and fills size and hash.
QString gravaCom(Entrega& e, const std::function<QString(const QString& destino, QString& copia)>& escreveCopia)
{
    e.primeiraLinhaResposta = primeiraLinhaResposta(e.resposta);
    if (!QDir().mkpath(pastaEntregas()))
        return falhaGravacao(QStringLiteral("a pasta não pôde ser criada."));
    QTemporaryDir temp(QDir(pastaEntregas()).filePath(QStringLiteral(".gravando-XXXXXX")));
    if (!temp.isValid())
        return falhaGravacao(temp.errorString());
    QString copia = nomeCopia(e.arquivo);
    const QString avisoCopia = escreveCopia(temp.filePath(copia), copia);
    const QByteArray dados = QJsonDocument(paraJson(e, copia)).toJson();
    const std::pair<QString, const QByteArray*> arquivos[] = {
        {arquivoRequisicao, &e.cabecalhos}, {arquivoResposta, &e.resposta}, {arquivoDados, &dados}};
    for (const auto& [nome, bytes] : arquivos) {
        if (const QString erro = escreve(temp.filePath(nome), *bytes); !erro.isEmpty())
            return falhaGravacao(erro);
    }

    QDir entregas(pastaEntregas());
    QString nome = nomePasta(e);
    for (int n = 2; entregas.exists(nome); ++n)
        nome = nomePasta(e) + QLatin1Char('-') + QString::number(n);
    if (!entregas.rename(temp.path(), nome))
        return falhaGravacao(QStringLiteral("a pasta \"%1\" não pôde ser criada.").arg(nome));
    temp.setAutoRemove(false);
    e.pasta = entregas.filePath(nome);
    return avisoCopia;
}
} // namespace

QString gravaEntrega(Entrega& e, const QByteArray& conteudo)
{
    return gravaCom(e, [&](const QString& destino, QString& copia) {
        e.tamanho = conteudo.size();
        e.sha256 = QString::fromLatin1(QCryptographicHash::hash(conteudo, QCryptographicHash::Sha256).toHex());
        const QString erro = escreve(destino, conteudo);
        if (erro.isEmpty())
            return QString();
        copia.clear();
        return falhaGravacao(erro);
    });
}

QString gravaEntregaDeArquivo(Entrega& e, const QString& origem, qint64 tamanhoEnviado,
                              const QDateTime& modificadoAoEnviar)
{
    return gravaCom(e, [&](const QString& destino, QString& copia) {
        QString erroCopia = copiaComHash(origem, destino, e);
        const QFileInfo agora(origem);
        if (erroCopia.isEmpty() && e.tamanho == tamanhoEnviado && agora.size() == tamanhoEnviado &&
            agora.lastModified() == modificadoAoEnviar)
            return QString();
        if (erroCopia.isEmpty())
            erroCopia = QStringLiteral("o arquivo foi alterado depois de enviado.");
        QFile::remove(destino);
        copia.clear();
        e.sha256.clear();
        e.tamanho = tamanhoEnviado;
        return falhaGravacao(erroCopia);
    });
}

QList<Entrega> listaEntregas()
{
    QList<Entrega> lista;
    const QDir entregas(pastaEntregas());
    for (const QString& nome : entregas.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir dir(entregas.filePath(nome));
        const QJsonObject o = QJsonDocument::fromJson(le(dir, arquivoDados)).object();
        if (nome.startsWith(u'.') || o.isEmpty())
            continue;
        Entrega e;
        e.dataHora = QDateTime::fromString(o.value(QStringLiteral("dataHora")).toString(), Qt::ISODate);
        e.ie = o.value(QStringLiteral("ie")).toString();
        e.razaoSocial = o.value(QStringLiteral("razaoSocial")).toString();
        e.arquivo = o.value(QStringLiteral("arquivo")).toString();
        e.origem = o.value(QStringLiteral("origem")).toString();
        e.tamanho = o.value(QStringLiteral("tamanho")).toInteger();
        e.sha256 = o.value(QStringLiteral("sha256")).toString();
        e.endereco = o.value(QStringLiteral("endereco")).toString();
        e.primeiraLinhaResposta = o.value(QStringLiteral("primeiraLinhaResposta")).toString();
        e.cabecalhos = le(dir, arquivoRequisicao);
        e.resposta = le(dir, arquivoResposta);
        e.pasta = dir.path();
        lista.append(e);
    }
    std::stable_sort(lista.begin(), lista.end(),
                     [](const Entrega& a, const Entrega& b) { return a.dataHora < b.dataHora; });
    return lista;
}

} // namespace tervalia
