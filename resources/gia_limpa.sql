-- The empty GIA database delivered with the program. Every import of a GIA pre-formatted file
-- starts from a fresh copy of it (atual.db). Dates are kept as text, year-month-day; amounts as
-- numbers with their cents. NroGIA numbers the GIAs of one file from 1; Código links the annexes to
-- their occurrence.
CREATE TABLE tblContribuinte (
    IE          VARCHAR(15),
    CNPJ        VARCHAR(18),
    CNAE        VARCHAR(9),
    RazaoSocial VARCHAR(150)
);

CREATE TABLE tblGIA (
    NroGIA    INTEGER,
    IE        VARCHAR(15),
    Tipo      INTEGER,
    RegTrib   VARCHAR(2),
    Ref1      TEXT,
    Movimento INTEGER
);

CREATE TABLE tblDetalhesCFOPs (
    NroGIA             INTEGER,
    CFOP               VARCHAR(5),
    ValorContábil      REAL,
    BaseCálculo        REAL,
    Imposto            REAL,
    IsentasNãoTrib     REAL,
    Outras             REAL,
    ImpostoRetidoST    REAL,
    ImpRetSubstitutoST REAL,
    ImpRetSubstituido  REAL,
    OutrosImpostos     REAL
);

CREATE TABLE tblDetalhesInterUFs (
    NroGIA          INTEGER,
    CFOP            VARCHAR(5),
    UF              VARCHAR(2),
    ValorContábil_1 REAL,
    BaseCálculo_1   REAL,
    ValorContábil_2 REAL,
    BaseCálculo_2   REAL,
    Imposto         REAL,
    Outras          REAL,
    ICMSCobradoST   REAL,
    PetróleoEnergia REAL,
    OutrosProdutos  REAL
);

CREATE TABLE tblZFM_ALC (
    NroGIA        INTEGER,
    CFOP          VARCHAR(5),
    UF            VARCHAR(2),
    NF            VARCHAR(9),
    Data          TEXT,
    Valor         REAL,
    CNPJDest      VARCHAR(18),
    MunicípioDest VARCHAR(5)
);

CREATE TABLE tblOcorrências (
    Código     INTEGER PRIMARY KEY AUTOINCREMENT,
    NroGIA     INTEGER,
    CódSubItem VARCHAR(6),
    Valor      REAL,
    FLegal     VARCHAR(100),
    Ocorrência VARCHAR(300),
    OpPróprias INTEGER
);

CREATE TABLE tblIEsRemetente (
    Código      INTEGER,
    IERemetente VARCHAR(15),
    Valor       REAL
);

CREATE TABLE tblIESubstituto (
    Código       INTEGER,
    IESubstituto VARCHAR(15),
    DataInicio   TEXT,
    DataFim      TEXT,
    Valor        REAL,
    NF           VARCHAR(9)
);

CREATE TABLE tblIRSubstituido (
    Código        INTEGER,
    IESubstituido VARCHAR(15),
    Valor         REAL,
    NF            VARCHAR(9)
);

CREATE TABLE tblRecibosCredito (
    Código         INTEGER,
    CodAutorização VARCHAR(12),
    Valor          REAL
);

CREATE TABLE tblDIPAM (
    NroGIA    INTEGER,
    CódDIPAM  VARCHAR(3),
    Município VARCHAR(5),
    Valor     REAL
);

CREATE TABLE tblRegistroExportação (
    NroGIA INTEGER,
    RE     VARCHAR(15)
);
