#include "SituacaoEntregas.h"

#include "net/Servidor.h"
#include "net/Soap.h"
#include "platform/ProgramDir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tervalia::situacao {

namespace h = servidor::historico;

namespace {
const QString nomeArquivo = QStringLiteral("situacao-entregas.json");
const QString nomeDanificado = QStringLiteral("situacao-entregas-danificado.json");

QString dataJson(const QDateTime& d)
{
    return d.isValid() ? d.toOffsetFromUtc(d.offsetFromUtc()).toString(Qt::ISODate) : QString();
}

QDateTime dataDeJson(const QJsonValue& v)
{
    return QDateTime::fromString(v.toString(), Qt::ISODate);
}

QJsonObject paraJson(const Consulta& c)
{
    QJsonObject o{{QStringLiteral("em"), dataJson(c.em)},
                  {QStringLiteral("chaveRecusada"), c.chaveRecusada},
                  {QStringLiteral("anoTrabalho"), c.anoTrabalho},
                  {QStringLiteral("falha"), c.falha}};
    if (c.ultima) {
        QJsonArray celulas;
        for (const QString& celula : *c.ultima)
            celulas.append(celula);
        o.insert(QStringLiteral("ultima"), celulas);
    }
    return o;
}

Consulta deJson(const QJsonObject& o)
{
    Consulta c;
    c.em = dataDeJson(o.value(QStringLiteral("em")));
    c.chaveRecusada = o.value(QStringLiteral("chaveRecusada")).toBool();
    c.anoTrabalho = o.value(QStringLiteral("anoTrabalho")).toString();
    c.falha = o.value(QStringLiteral("falha")).toString();
    const QJsonArray celulas = o.value(QStringLiteral("ultima")).toArray();
    if (celulas.size() == historico::numColunas) {
        historico::Linha linha;
        for (int i = 0; i < historico::numColunas; ++i)
            linha[i] = celulas[i].toString();
        c.ultima = linha;
    }
    return c;
}

enum class Leitura { Ok, Ausente, Danificado };

Leitura leArquivo(Registro& registro, QString* erro)
{
    QFile arquivo(arquivoRegistro());
    if (!arquivo.exists())
        return Leitura::Ausente;
    QJsonParseError parse{};
    const QJsonDocument doc =
        arquivo.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(arquivo.readAll(), &parse) : QJsonDocument();
    if (!doc.isObject()) {
        if (erro)
            *erro =
                QStringLiteral("O registro da última consulta (%1) não pôde ser lido: %2")
                    .arg(nomeArquivo, arquivo.error() != QFile::NoError ? arquivo.errorString() : parse.errorString());
        return Leitura::Danificado;
    }
    const QJsonObject raiz = doc.object();
    registro.atualizadoEm = dataDeJson(raiz.value(QStringLiteral("atualizadoEm")));
    const QJsonObject empresas = raiz.value(QStringLiteral("empresas")).toObject();
    for (auto it = empresas.begin(); it != empresas.end(); ++it)
        registro.empresas.insert(it.key(), deJson(it.value().toObject()));
    return Leitura::Ok;
}
} // namespace

Consulta comFalha(const QString& descricao, const Consulta& anterior)
{
    Consulta c = anterior;
    c.falha = descricao;
    return c;
}

Consulta leResposta(const QString& respostaCompleta, const QDateTime& em, const Consulta& anterior)
{
    bool ilegivel = false;
    const QString retorno = GetResult(respostaCompleta, servidor::elementoResultado, &ilegivel);
    if (ilegivel)
        return comFalha(QStringLiteral("A resposta do servidor não pôde ser lida."), anterior);
    Consulta c;
    c.em = em;
    if (respostaCompleta.contains(h::marcaChaveRecusada)) {
        c.chaveRecusada = true;
        return c;
    }
    try {
        c.anoTrabalho = historico::trecho(retorno, h::posAnoTrabalho, h::lenAnoTrabalho);
        c.ultima = ultimaDoAno(historico::lerTransferencias(retorno), c.anoTrabalho);
    } catch (const historico::XmlError& erro) {
        return comFalha(QStringLiteral("O histórico enviado pelo servidor não pôde ser lido: %1").arg(erro.motivo()),
                        anterior);
    }
    return c;
}

std::optional<historico::Linha> ultimaDoAno(const QList<historico::Linha>& linhas, const QString& anoTrabalho)
{
    const QString ano = anoTrabalho.trimmed();
    if (ano.isEmpty())
        return std::nullopt;
    // A date that cannot be read counts as older than any other.
    const auto tambemRecente = [](const QDateTime& data, const QDateTime& outra) {
        return !outra.isValid() || (data.isValid() && data >= outra);
    };
    std::optional<historico::Linha> ultima;
    QDateTime dataUltima;
    for (const historico::Linha& linha : linhas) {
        if (!linha[0].contains(ano))
            continue;
        const QDateTime data = historico::converteDataServidor(linha[1]).value_or(QDateTime());
        if (!ultima || tambemRecente(data, dataUltima)) {
            ultima = linha;
            dataUltima = data;
        }
    }
    return ultima;
}

QString textoStatus(const QString& status)
{
    const QString s = status.trimmed();
    if (s == QString::number(h::statusSemMensagens))
        return QStringLiteral("Verificação concluída, sem mensagens.");
    if (s == QString::number(h::statusComDetalhes))
        return QStringLiteral("Com detalhes da apuração");
    return s.isEmpty() ? QStringLiteral("Sem situação informada") : QStringLiteral("Situação %1").arg(s);
}

QString arquivoRegistro()
{
    return programFile(nomeArquivo);
}

Registro carregaRegistro(QString* erro)
{
    Registro registro;
    if (leArquivo(registro, erro) == Leitura::Danificado)
        return {};
    return registro;
}

QString gravaConsultas(const QHash<QString, Consulta>& consultas, const QDateTime& atualizadoEm)
{
    Registro registro;
    if (leArquivo(registro, nullptr) == Leitura::Danificado) {
        registro = {};
        QFile::remove(programFile(nomeDanificado));
        QFile::copy(arquivoRegistro(), programFile(nomeDanificado));
    }
    for (auto it = consultas.begin(); it != consultas.end(); ++it)
        registro.empresas.insert(it.key(), it.value());
    if (atualizadoEm.isValid())
        registro.atualizadoEm = atualizadoEm;

    QJsonObject empresas;
    for (auto it = registro.empresas.begin(); it != registro.empresas.end(); ++it)
        empresas.insert(it.key(), paraJson(it.value()));
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("atualizadoEm"), dataJson(registro.atualizadoEm)},
                                  {QStringLiteral("empresas"), empresas}})
            .toJson();
    QSaveFile arquivo(arquivoRegistro());
    // The temporary file is the owner's alone from the start, before anything is written into it.
    if (!arquivo.open(QIODevice::WriteOnly) ||
        !arquivo.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        arquivo.write(bytes) != bytes.size() || !arquivo.commit())
        return QStringLiteral("A consulta não pôde ser guardada em %1: %2")
            .arg(arquivoRegistro(), arquivo.errorString());
    return {};
}

} // namespace tervalia::situacao
