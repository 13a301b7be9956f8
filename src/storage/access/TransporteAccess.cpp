#include "TransporteAccess.h"

#include "LeitorAccess.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>

namespace tervalia::access {

namespace {

const QByteArray versao = QByteArrayLiteral("leitor-access 1");
constexpr qsizetype tamanhoDoBloco = 64 * 1024;
constexpr int digitosDoTamanho = 9; // an item holds less than 1 GB

struct Item
{
    char letra = 0;
    QByteArrayView dados;
};

// The items one after the other; nullopt at the end or at the first malformed one.
class Itens
{
public:
    explicit Itens(QByteArrayView bytes) : m_bytes(bytes) {}

    bool noFim() const { return m_pos == m_bytes.size(); }

    std::optional<Item> proximo()
    {
        if (m_bytes.size() - m_pos < 4)
            return std::nullopt;
        Item item{m_bytes[m_pos++], {}};
        qsizetype tamanho = 0;
        int digitos = 0;
        while (m_pos < m_bytes.size() && m_bytes[m_pos] >= '0' && m_bytes[m_pos] <= '9' && digitos < digitosDoTamanho) {
            tamanho = tamanho * 10 + (m_bytes[m_pos++] - '0');
            ++digitos;
        }
        if (digitos == 0 || m_pos >= m_bytes.size() || m_bytes[m_pos++] != ':' || tamanho >= m_bytes.size() - m_pos ||
            m_bytes[m_pos + tamanho] != '\n')
            return std::nullopt;
        item.dados = m_bytes.sliced(m_pos, tamanho);
        m_pos += tamanho + 1;
        return item;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

// The whole of `texto` as a number.
template <class Numero> std::optional<Numero> numero(QByteArrayView texto)
{
    Numero n{};
    const char* fim = texto.data() + texto.size();
    const auto [ate, erro] = std::from_chars(texto.data(), fim, n);
    if (erro != std::errc() || ate != fim || texto.isEmpty())
        return std::nullopt;
    return n;
}

std::optional<QVariant> dataHora(QByteArrayView dados)
{
    if (dados.isEmpty())
        return QVariant(QDateTime());
    const qsizetype espaco = dados.indexOf(' ');
    const std::optional<qint64> dia = numero<qint64>(dados.first(std::max<qsizetype>(espaco, 0)));
    const std::optional<int> ms = numero<int>(dados.sliced(espaco + 1));
    if (espaco < 0 || !dia || !ms || *ms < 0)
        return std::nullopt;
    const QDate data = QDate::fromJulianDay(*dia);
    const QTime hora = QTime::fromMSecsSinceStartOfDay(*ms);
    if (!data.isValid() || !hora.isValid())
        return std::nullopt;
    return QVariant(QDateTime(data, hora));
}

std::optional<QVariant> valorDe(const Item& item)
{
    const QByteArrayView dados = item.dados;
    switch (item.letra) {
    case 'N':
        return dados.isEmpty() ? std::optional<QVariant>(QVariant()) : std::nullopt;
    case 'B':
        if (dados != "0" && dados != "1")
            return std::nullopt;
        return QVariant(dados == "1");
    case 'I': {
        const std::optional<qint64> n = numero<qint64>(dados);
        return n ? std::optional<QVariant>(*n) : std::nullopt;
    }
    case 'D': {
        const std::optional<double> d = numero<double>(dados);
        return d ? std::optional<QVariant>(*d) : std::nullopt;
    }
    case 'S':
        return QVariant(QString::fromUtf8(dados));
    case 'X':
        return QVariant(dados.toByteArray());
    case 'H':
        return dataHora(dados);
    default:
        return std::nullopt;
    }
}

enum class FimDaTabela { Lida, Falha, Malformada };

// The columns, rows and row count of the table that `T` began.
FimDaTabela leTabela(Itens& itens, TabelaLida& tabela, std::optional<QString>& falha)
{
    while (const std::optional<Item> item = itens.proximo()) {
        if (item->letra == 'C' && tabela.linhas.isEmpty()) {
            tabela.colunas.append(QString::fromUtf8(item->dados));
        } else if (item->letra == 'R' && item->dados.isEmpty()) {
            QVariantList linha;
            linha.reserve(tabela.colunas.size());
            for (qsizetype i = 0; i < tabela.colunas.size(); ++i) {
                const std::optional<Item> v = itens.proximo();
                const std::optional<QVariant> valor = v ? valorDe(*v) : std::nullopt;
                if (!valor)
                    return FimDaTabela::Malformada;
                linha.append(*valor);
            }
            tabela.linhas.append(linha);
        } else if (item->letra == 'E') {
            return item->dados == QByteArray::number(tabela.linhas.size()) ? FimDaTabela::Lida
                                                                           : FimDaTabela::Malformada;
        } else if (item->letra == 'F') {
            falha = QString::fromUtf8(item->dados);
            return FimDaTabela::Falha;
        } else {
            return FimDaTabela::Malformada;
        }
    }
    return FimDaTabela::Malformada;
}

} // namespace

EscritaTransporte::EscritaTransporte(std::function<void(QByteArrayView)> saida) : m_saida(std::move(saida))
{
    m_bloco.reserve(2 * tamanhoDoBloco);
    item('V', versao);
}

EscritaTransporte::~EscritaTransporte()
{
    descarrega();
}

void EscritaTransporte::item(char letra, QByteArrayView dados)
{
    char cabeca[24] = {letra};
    char* fim = std::to_chars(cabeca + 1, cabeca + sizeof cabeca - 1, dados.size()).ptr;
    *fim++ = ':';
    m_bloco.append(cabeca, fim - cabeca).append(dados).append('\n');
    if (m_bloco.size() >= tamanhoDoBloco)
        descarrega();
}

void EscritaTransporte::descarrega()
{
    if (!m_bloco.isEmpty())
        m_saida(m_bloco);
    m_bloco.resize(0); // keeps its room
}

void EscritaTransporte::tabela(const QString& nome, const QStringList& colunas)
{
    m_linhas = 0;
    item('T', nome.toUtf8());
    for (const QString& coluna : colunas)
        item('C', coluna.toUtf8());
}

void EscritaTransporte::valor(const QVariant& v)
{
    if (v.isNull() && v.typeId() != QMetaType::QDateTime)
        return item('N', {});
    switch (v.typeId()) {
    case QMetaType::Bool:
        return item('B', v.toBool() ? "1" : "0");
    case QMetaType::LongLong:
    case QMetaType::Int:
        return item('I', QByteArray::number(v.toLongLong()));
    case QMetaType::Double: {
        // Shortest text that reads back as the same double, sign of zero and infinities included.
        char texto[32];
        const auto fim = std::to_chars(texto, texto + sizeof texto, v.toDouble()).ptr;
        return item('D', QByteArrayView(texto, fim - texto));
    }
    case QMetaType::QByteArray:
        return item('X', v.toByteArray());
    case QMetaType::QDateTime: {
        const QDateTime d = v.toDateTime();
        return item('H', d.isValid() ? QByteArray::number(d.date().toJulianDay()) + ' ' +
                                           QByteArray::number(d.time().msecsSinceStartOfDay())
                                     : QByteArray());
    }
    case QMetaType::QString:
        return item('S', static_cast<const QString*>(v.constData())->toUtf8());
    default:
        return item('S', v.toString().toUtf8());
    }
}

void EscritaTransporte::linha(const QVariantList& valores)
{
    item('R', {});
    for (const QVariant& v : valores)
        valor(v);
    ++m_linhas;
}

void EscritaTransporte::fimDaTabela()
{
    item('E', QByteArray::number(m_linhas));
}

void EscritaTransporte::termina(const std::optional<QString>& falha)
{
    if (falha)
        item('F', falha->toUtf8());
    else
        item('Z', {});
    descarrega();
}

int exportaTabelas(const QString& arquivo, const QStringList& tabelas, const std::function<void(QByteArrayView)>& saida)
{
    LeitorAccess leitor;
    if (!leitor.abre(arquivo))
        return LeitorNaoEAccess;
    EscritaTransporte escrita(saida);
    const QStringList lidas = tabelas.isEmpty() ? leitor.tabelas() : tabelas;
    for (const QString& nome : lidas) {
        const std::optional<Tabela> definicao = leitor.tabela(nome);
        if (!definicao) {
            escrita.termina(nome);
            return tabelas.isEmpty() ? LeitorTabelaIlegivel : LeitorSemTabela;
        }
        QStringList colunas;
        for (const Coluna& coluna : definicao->colunas)
            colunas.append(coluna.nome);
        escrita.tabela(definicao->nome, colunas);
        const bool lida = leitor.leLinhas(definicao->nome, [&](const QVariantList& valores) {
            escrita.linha(valores);
            return true;
        });
        if (!lida) {
            escrita.termina(nome);
            return LeitorTabelaIlegivel;
        }
        escrita.fimDaTabela();
    }
    escrita.termina();
    return LeitorOk;
}

std::optional<Transporte> leTransporte(QByteArrayView bytes)
{
    Itens itens(bytes);
    const std::optional<Item> inicio = itens.proximo();
    if (!inicio || inicio->letra != 'V' || inicio->dados != versao)
        return std::nullopt;
    Transporte transporte;
    while (const std::optional<Item> item = itens.proximo()) {
        if (item->letra == 'Z' && item->dados.isEmpty())
            return itens.noFim() ? std::optional(transporte) : std::nullopt;
        if (item->letra == 'F') {
            transporte.falha = QString::fromUtf8(item->dados);
            return itens.noFim() ? std::optional(transporte) : std::nullopt;
        }
        if (item->letra != 'T')
            return std::nullopt;
        TabelaLida tabela{QString::fromUtf8(item->dados), {}, {}};
        switch (leTabela(itens, tabela, transporte.falha)) {
        case FimDaTabela::Lida:
            transporte.tabelas.append(tabela);
            break;
        case FimDaTabela::Falha:
            return itens.noFim() ? std::optional(transporte) : std::nullopt;
        case FimDaTabela::Malformada:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace tervalia::access
