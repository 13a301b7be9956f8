#include "CatalogoJet4.h"

#include "ArquivoJet4.h"
#include "CabecalhoJet4.h"
#include "PaginasJet4.h"
#include "ValoresJet4.h"

#include <array>
#include <functional>
#include <optional>

namespace tervalia::access::jet4 {

namespace {

// General sort order codes of ' ' (0x20) to '~' (0x7E) as Access writes them in index keys, upper
// and lower case alike; two-byte codes in one value; 0 where a character needs codes of another
// kind (the apostrophe and the hyphen are sorted apart from the other characters).
constexpr std::array<quint16, 95> codigosGerais = {
    0x07,   0x09, 0x0A, 0x0C, 0x0E, 0x10, 0x12, 0,    0x14, 0x16, 0x18, 0x2C,   0x1A,   0,      0x1C,   0x1E,
    0x36,   0x38, 0x3A, 0x3C, 0x3E, 0x40, 0x42, 0x44, 0x46, 0x48, 0x20, 0x22,   0x2E,   0x30,   0x32,   0x24,
    0x26,   0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C,   0x5E,   0x60,   0x62,   0x64,
    0x66,   0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78, 0x27,   0x29,   0x2A,   0x2B02, 0x2B03,
    0x2B07, 0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C,   0x5E,   0x60,   0x62,   0x64,
    0x66,   0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78, 0x2B09, 0x2B0B, 0x2B0D, 0x2B0F,
};

quint16 codigoGeral(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x20 && u <= 0x7E ? codigosGerais[u - 0x20] : 0;
}

// Identifiers and owners of the objects that every database holds.
constexpr quint32 idRaiz = 0x0F000000;
constexpr quint32 idTabelas = 0x0F000001;
constexpr quint32 idBancos = 0x0F000002;
constexpr quint32 idRelacoes = 0x0F000003;
constexpr quint32 idMSysDb = 0x10000000;
constexpr quint32 objetoDeSistema = 0x80000000;

const QByteArray sidMotor("sg");
const QByteArray sidCriador("re");
const QByteArray sidUsuarios("se");
const QByteArray sidAdmins("s`");
const QByteArray sidAdmin =
    QByteArray::fromHex("70BF8CBAF78F0F0DAECF9E4B8973F774992E182B5E0A7EAA308564ECAEEFF622A15B6F19"
                        "77F67DE8E5FE7BA452328A566BCD0DD3BEB9A1DB1EE6F2EC79B8140D9BCF5A6AAA6E3F3C"
                        "D15F45FE4CC2C2FF67D4BF1AF7769D8129E48362A681C66D537198486203");

// Columns of a system table: name, type, number, variable index, fixed offset, size, flags.
struct Col
{
    const char* nome;
    quint8 tipo;
    quint16 numero, indiceVar, deslocFixo, tamanho;
    quint8 flags;
};

struct Sistema
{
    DefTabela def;
    QList<quint16> longas; // memo and OLE columns, each with two usage maps
};

Sistema sistema(const char* nome, std::initializer_list<Col> colunas, QList<DefIndiceReal> reais,
                QList<DefIndiceLogico> logicos, QList<quint16> longas = {})
{
    Sistema s;
    s.def.nome = QString::fromLatin1(nome);
    s.def.tipoTabela = 0x53;
    for (const Col& c : colunas)
        s.def.colunas.append({QString::fromLatin1(c.nome), c.tipo, c.numero, c.indiceVar, c.deslocFixo, c.tamanho,
                              c.flags, 0, ordemGeral});
    s.def.indicesReais = reais;
    s.def.indicesLogicos = logicos;
    s.longas = longas;
    return s;
}

std::array<Sistema, 4> tabelasDeSistema()
{
    return {
        sistema("MSysObjects",
                {{"Connect", tipoMemo, 9, 3, 0, 0, 0x12},
                 {"Database", tipoMemo, 8, 2, 0, 0, 0x12},
                 {"DateCreate", tipoData, 4, 1, 10, 8, 0x13},
                 {"DateUpdate", tipoData, 5, 1, 18, 8, 0x13},
                 {"Flags", tipoLong, 7, 2, 26, 4, 0x13},
                 {"ForeignName", tipoTexto, 10, 4, 0, 510, 0x12},
                 {"Id", tipoLong, 0, 0, 0, 4, 0x13},
                 {"Lv", tipoOle, 13, 7, 0, 0, 0x12},
                 {"LvExtra", tipoOle, 16, 10, 0, 0, 0x12},
                 {"LvModule", tipoOle, 15, 9, 0, 0, 0x12},
                 {"LvProp", tipoOle, 14, 8, 0, 0, 0x12},
                 {"Name", tipoTexto, 2, 0, 0, 510, 0x12},
                 {"Owner", tipoBinario, 6, 1, 0, 510, 0x32},
                 {"ParentId", tipoLong, 1, 0, 4, 4, 0x13},
                 {"RmtInfoLong", tipoOle, 12, 6, 0, 0, 0x12},
                 {"RmtInfoShort", tipoBinario, 11, 5, 0, 510, 0x12},
                 {"Type", tipoInt, 3, 1, 8, 2, 0x13}},
                {{{1, 2}, 0x81}, {{0}, 0x81}},
                {{QStringLiteral("Id"), 1, 1, 1}, {QStringLiteral("ParentIdName"), 0, 0, 0}},
                {9, 8, 13, 16, 15, 14, 12}),
        sistema("MSysACEs",
                {{"ACM", tipoLong, 2, 1, 4, 4, 0x13},
                 {"FInheritable", tipoBool, 3, 1, 0, 1, 0x13},
                 {"ObjectId", tipoLong, 0, 0, 0, 4, 0x13},
                 {"SID", tipoBinario, 1, 0, 0, 510, 0x32}},
                {{{0}, 0x88}}, {{QStringLiteral("ObjectId"), 0, 0, 0}}),
        sistema("MSysQueries",
                {{"Attribute", tipoByte, 1, 0, 4, 1, 0x13},
                 {"Expression", tipoMemo, 5, 3, 0, 0, 0x12},
                 {"Flag", tipoInt, 6, 4, 5, 2, 0x13},
                 {"LvExtra", tipoLong, 7, 4, 7, 4, 0x13},
                 {"Name1", tipoTexto, 3, 1, 0, 510, 0x12},
                 {"Name2", tipoTexto, 4, 2, 0, 510, 0x12},
                 {"ObjectId", tipoLong, 0, 0, 0, 4, 0x13},
                 {"Order", tipoBinario, 2, 0, 0, 510, 0x12}},
                {{{0, 1, 2}, 0x81}}, {{QStringLiteral("ObjectIdAttribute"), 0, 0, 1}}, {5}),
        sistema("MSysRelationships",
                {{"ccolumn", tipoLong, 2, 1, 4, 4, 0x13},
                 {"grbit", tipoLong, 1, 1, 0, 4, 0x13},
                 {"icolumn", tipoLong, 3, 1, 8, 4, 0x13},
                 {"szColumn", tipoTexto, 5, 2, 0, 510, 0x12},
                 {"szObject", tipoTexto, 4, 1, 0, 510, 0x12},
                 {"szReferencedColumn", tipoTexto, 7, 4, 0, 510, 0x12},
                 {"szReferencedObject", tipoTexto, 6, 3, 0, 510, 0x12},
                 {"szRelationship", tipoTexto, 0, 0, 0, 510, 0x12}},
                {{{0}, 0x82}, {{4}, 0x82}, {{6}, 0x82}},
                {{QStringLiteral("szObject"), 1, 1, 0},
                 {QStringLiteral("szReferencedObject"), 2, 2, 0},
                 {QStringLiteral("szRelationship"), 0, 0, 0}}),
    };
}

constexpr quint32 paginaMapaGlobal = 1;
constexpr quint32 primeiraDefinicaoDeSistema = 2; // MSysObjects is always at page 2
constexpr quint32 primeiroMapaDeSistema = 6;

struct Objeto
{
    quint32 id, pai;
    QString nome;
    quint16 tipo;
    quint32 flags;
    QByteArray dono;
};

struct Permissao
{
    quint32 objeto;
    QByteArray sid;
    quint32 acm;
    bool herdavel;
};

QList<Permissao> permissoes(const QList<TabelaDoCatalogo>& tabelas)
{
    QList<Permissao> a = {
        {idTabelas, sidAdmin, 1048319, true},
        {idTabelas, sidCriador, 1048319, true},
        {idTabelas, sidAdmins, 983294, true},
        {idTabelas, sidUsuarios, 1048319, true},
        {idBancos, sidCriador, 393216, false},
        {idRelacoes, sidAdmin, 1048575, true},
        {idRelacoes, sidCriador, 393217, false},
        {idRelacoes, sidAdmins, 983294, true},
        {idRelacoes, sidUsuarios, 1048575, true},
        {idMSysDb, sidAdmin, 393230, false},
        {idMSysDb, sidCriador, 393230, false},
        {idMSysDb, sidUsuarios, 14, false},
        {2, sidAdmin, 393300, false},
        {2, sidCriador, 393216, false},
        {2, sidUsuarios, 20, false},
        {3, sidAdmin, 393300, false},
        {3, sidCriador, 393216, false},
        {4, sidAdmin, 393236, false},
        {4, sidCriador, 393216, false},
        {4, sidUsuarios, 20, false},
        {5, sidAdmin, 393236, false},
        {5, sidCriador, 917504, false},
        {5, sidUsuarios, 20, false},
    };
    for (const TabelaDoCatalogo& t : tabelas) {
        for (const QByteArray& sid : {sidAdmin, sidCriador, sidUsuarios})
            a.append({t.paginaDefinicao, sid, 1048319, false});
    }
    return a;
}

// Rows of a system table: cells by column number, each with its bytes or none (NULL).
class LinhaSistema
{
public:
    explicit LinhaSistema(const LayoutLinha& layout) : m_layout(layout), m_celulas(size_t(layout.colunas())) {}
    LinhaSistema& poe(int coluna, const QByteArray& bytes)
    {
        m_celulas[size_t(coluna)] = {true, int(m_dados.size()), int(bytes.size())};
        m_dados.append(bytes);
        return *this;
    }
    LinhaSistema& simNao(int coluna, bool valor)
    {
        m_celulas[size_t(coluna)].presente = valor;
        return *this;
    }
    QByteArray bytes() const
    {
        QByteArray linha;
        m_layout.monta(m_celulas, m_dados, linha);
        return linha;
    }

private:
    const LayoutLinha& m_layout;
    std::vector<LayoutLinha::Celula> m_celulas;
    QByteArray m_dados;
};

QByteArray u16(quint16 v)
{
    QByteArray b;
    anexa16(b, v);
    return b;
}

QByteArray u32(quint32 v)
{
    QByteArray b;
    anexa32(b, v);
    return b;
}

QByteArray f64(double v)
{
    QByteArray b;
    anexaDouble(b, v);
    return b;
}

QByteArray utf16(const QString& texto)
{
    QByteArray b;
    textoParaJet(texto, false, b);
    return b;
}

// Index keys: a flag byte 0x7F, then the value; integers big-endian with the sign bit flipped,
// text in General sort codes ended by 0x01 0x00; then the row's page (3 bytes) and row (1 byte).
QByteArray chaveInteiro(quint32 v)
{
    const quint32 k = v ^ 0x80000000;
    return QByteArray("\x7f", 1) + char(k >> 24) + char(k >> 16) + char(k >> 8) + char(k);
}

std::optional<QByteArray> chaveTexto(const QString& texto)
{
    QByteArray k("\x7f", 1);
    for (QChar c : texto) {
        const quint16 codigo = codigoGeral(c);
        if (codigo == 0)
            return std::nullopt;
        if (codigo > 0xFF)
            k.append(char(codigo >> 8));
        k.append(char(codigo & 0xFF));
    }
    return k + QByteArray("\x01\x00", 2);
}

QByteArray ponteiro(quint32 pgLinha)
{
    return QByteArray(1, char(pgLinha >> 24)) + char(pgLinha >> 16) + char(pgLinha >> 8) + char(pgLinha);
}

// Places rows on data pages at the end of the file; their page/row in `posicoes`.
bool gravaLinhas(ArquivoJet4& arquivo, quint32 dono, const QList<QByteArray>& linhas, QList<quint32>& posicoes,
                 ConjuntoPaginas& paginas)
{
    PaginaDados pagina;
    quint32 atual = 0;
    for (const QByteArray& linha : linhas) {
        if (paginas.vazio() || !pagina.cabe(linha.size())) {
            if (!paginas.vazio() && !arquivo.grava(atual, pagina.bytes()))
                return false;
            if (!arquivo.reserva(1, atual))
                return false;
            pagina.inicia(dono);
            paginas.marca(atual);
        }
        posicoes.append(paginaLinha(atual, pagina.adiciona(linha.constData(), linha.size())));
    }
    return paginas.vazio() || arquivo.grava(atual, pagina.bytes());
}

struct Gravacao
{
    ArquivoJet4& arquivo;
    QString& motivo;

    bool falha(const QString& texto)
    {
        motivo = arquivo.erro().isEmpty() ? texto : arquivo.erro();
        return false;
    }
};

using Entradas = QList<QList<QByteArray>>;

// Writes one system table: its rows, index leaves (their entries made from the rows' places), usage
// maps and definition.
bool gravaSistema(Gravacao& g, int indice, Sistema& s, const QList<QByteArray>& linhas,
                  const std::function<Entradas(const QList<quint32>&)>& entradasDasLinhas)
{
    const quint32 paginaDef = primeiraDefinicaoDeSistema + quint32(indice);
    const quint32 paginaMapa = primeiroMapaDeSistema + quint32(indice);
    ConjuntoPaginas dados;
    QList<quint32> posicoes;
    if (!gravaLinhas(g.arquivo, paginaDef, linhas, posicoes, dados))
        return g.falha({});
    const Entradas entradas = entradasDasLinhas ? entradasDasLinhas(posicoes) : Entradas();
    QList<QByteArray> registros;
    QByteArray mapaDados;
    if (!registroMapa(
            dados, [&](const char* pagina) { return g.arquivo.anexa(pagina); }, mapaDados))
        return g.falha({});
    registros << mapaDados << mapaDados;
    MapasTabela mapas{paginaLinha(paginaMapa, 0), paginaLinha(paginaMapa, 1), {}};
    const QByteArray vazio = registroMapaEmbutido(0, [](quint32) { return false; });
    for (quint16 coluna : s.longas) {
        mapas.longas.append({coluna, paginaLinha(paginaMapa, int(registros.size())),
                             paginaLinha(paginaMapa, int(registros.size()) + 1)});
        registros << vazio << vazio;
    }
    for (qsizetype i = 0; i < s.def.indicesReais.size(); ++i) {
        const QByteArray folha = folhaIndice(paginaDef, entradas.value(i));
        if (folha.isEmpty())
            return g.falha(QStringLiteral("o catálogo do arquivo não comporta tantas tabelas"));
        const quint32 paginaFolha = g.arquivo.anexa(folha.constData());
        if (paginaFolha == 0)
            return g.falha({});
        s.def.indicesReais[i].mapaUso = paginaLinha(paginaMapa, int(registros.size()));
        s.def.indicesReais[i].primeiraPagina = paginaFolha;
        registros << registroMapaEmbutido(paginaFolha, [&](quint32 p) { return p == paginaFolha; });
    }
    PaginaDados mapa;
    mapa.inicia(0);
    for (const QByteArray& r : registros)
        mapa.adiciona(r.constData(), r.size());
    const QByteArray definicao = definicaoTabela(s.def, quint32(linhas.size()), mapas);
    if (!g.arquivo.grava(paginaMapa, mapa.bytes()) ||
        !g.arquivo.grava(paginaDef, paginaDaDefinicao(definicao, 0, 0).constData()))
        return g.falha({});
    return true;
}

QList<Objeto> objetosDoCatalogo(const std::array<Sistema, 4>& sistemas, const QList<TabelaDoCatalogo>& tabelas)
{
    QList<Objeto> objetos = {
        {idTabelas, idRaiz, QStringLiteral("Tables"), 3, objetoDeSistema, sidMotor},
        {idBancos, idRaiz, QStringLiteral("Databases"), 3, objetoDeSistema, sidMotor},
        {idRelacoes, idRaiz, QStringLiteral("Relationships"), 3, objetoDeSistema, sidMotor},
        {idMSysDb, idBancos, QStringLiteral("MSysDb"), 2, objetoDeSistema, sidCriador},
    };
    for (int i = 0; i < 4; ++i)
        objetos.append({primeiraDefinicaoDeSistema + quint32(i), idTabelas, sistemas[size_t(i)].def.nome, 1,
                        objetoDeSistema, sidMotor});
    for (const TabelaDoCatalogo& t : tabelas)
        objetos.append({t.paginaDefinicao, idTabelas, t.nome, 1, 0, sidCriador});
    return objetos;
}

// The global usage map marks free pages: every page past the end of the file.
QByteArray paginaMapaGlobalDoArquivo(quint32 total)
{
    PaginaDados pagina;
    pagina.inicia(1);
    const QByteArray livres = registroMapaEmbutido(total, [&](quint32 p) { return p >= total; });
    const QByteArray vazio(tamanhoRegistroMapa, '\0');
    pagina.adiciona(livres.constData(), livres.size());
    pagina.adiciona(vazio.constData(), vazio.size());
    return QByteArray(pagina.bytes(), tamanhoPagina);
}

} // namespace

bool gravaCatalogo(ArquivoJet4& arquivo, const QList<TabelaDoCatalogo>& tabelas, double criacao, const QString& senha,
                   QString& motivo)
{
    Gravacao g{arquivo, motivo};
    std::array<Sistema, 4> sistemas = tabelasDeSistema();

    const QList<Objeto> objetos = objetosDoCatalogo(sistemas, tabelas);
    const LayoutLinha layoutObjetos(sistemas[0].def);
    QList<QByteArray> linhas;
    for (const Objeto& o : objetos) {
        linhas.append(LinhaSistema(layoutObjetos)
                          .poe(0, u32(o.id))
                          .poe(1, u32(o.pai))
                          .poe(2, utf16(o.nome))
                          .poe(3, u16(o.tipo))
                          .poe(4, f64(criacao))
                          .poe(5, f64(criacao))
                          .poe(6, o.dono)
                          .poe(7, u32(o.flags))
                          .bytes());
    }
    const auto entradasObjetos = [&](const QList<quint32>& posicoes) {
        Entradas e(2);
        for (qsizetype i = 0; i < objetos.size(); ++i) {
            const QByteArray nome = chaveTexto(objetos[i].nome).value_or(QByteArray());
            e[0].append(chaveInteiro(objetos[i].pai) + nome + ponteiro(posicoes[i]));
            e[1].append(chaveInteiro(objetos[i].id) + ponteiro(posicoes[i]));
        }
        return e;
    };
    if (!gravaSistema(g, 0, sistemas[0], linhas, entradasObjetos))
        return false;

    const QList<Permissao> permissoesDoArquivo = permissoes(tabelas);
    const LayoutLinha layoutPermissoes(sistemas[1].def);
    linhas.clear();
    for (const Permissao& p : permissoesDoArquivo) {
        linhas.append(LinhaSistema(layoutPermissoes)
                          .poe(0, u32(p.objeto))
                          .poe(1, p.sid)
                          .poe(2, u32(p.acm))
                          .simNao(3, p.herdavel)
                          .bytes());
    }
    const auto entradasPermissoes = [&](const QList<quint32>& posicoes) {
        Entradas e(1);
        for (qsizetype i = 0; i < permissoesDoArquivo.size(); ++i)
            e[0].append(chaveInteiro(permissoesDoArquivo[i].objeto) + ponteiro(posicoes[i]));
        return e;
    };
    if (!gravaSistema(g, 1, sistemas[1], linhas, entradasPermissoes) || !gravaSistema(g, 2, sistemas[2], {}, {}) ||
        !gravaSistema(g, 3, sistemas[3], {}, {}))
        return false;

    if (!arquivo.grava(paginaMapaGlobal, paginaMapaGlobalDoArquivo(arquivo.paginas()).constData()) ||
        !arquivo.grava(0, paginaCabecalho(criacao, senha).constData()))
        return g.falha({});
    return true;
}

bool catalogoComporta(const QStringList& nomes)
{
    constexpr qsizetype cabe = tamanhoPagina - 0x1E0;
    constexpr qsizetype entradaInteiro = 5 + 4;
    qsizetype porNome = 0;
    for (const QString& nome : nomes)
        porNome += entradaInteiro + chaveTexto(nome).value_or(QByteArray()).size();
    const qsizetype objetosDeSistema = 8 * (entradaInteiro + 20);
    return objetosDeSistema + porNome <= cabe && (23 + 3 * nomes.size()) * entradaInteiro <= cabe;
}

QString nomeDeColunaRecusado(const QString& nome)
{
    if (nome.isEmpty() || nome.size() > 64)
        return QStringLiteral("o nome deve ter de 1 a 64 caracteres");
    if (nome.front() == QLatin1Char(' ') || nome.back() == QLatin1Char(' '))
        return QStringLiteral("o nome não pode começar nem terminar com espaço");
    for (QChar c : nome) {
        if (c.unicode() < 0x20 || QStringLiteral(".!`[]").contains(c))
            return QStringLiteral("o nome não pode conter o caractere «%1»").arg(c);
    }
    return {};
}

QString nomeDeTabelaRecusado(const QString& nome)
{
    const QString motivo = nomeDeColunaRecusado(nome);
    if (!motivo.isEmpty())
        return motivo;
    for (QChar c : nome) {
        if (codigoGeral(c) == 0)
            return QStringLiteral("o nome não pode conter o caractere «%1» (só letras sem acento, algarismos, "
                                  "espaço e sinais ASCII, exceto apóstrofo e hífen)")
                .arg(c);
    }
    return {};
}

} // namespace tervalia::access::jet4
