# The engine's sources, shared by its library and the fuzz targets.
set(WORKBOOK_ENGINE_SOURCES
    AtomicFile.h
    BiffBook.cpp BiffBook.h
    Bytes.h
    Cells.cpp Cells.h
    CellVisitor.h
    CompoundFile.cpp CompoundFile.h
    CompoundFileCheck.cpp
    ContinuedReader.cpp ContinuedReader.h
    FileAccess.cpp FileAccess.h
    NewWorkbook.cpp
    Records.h
    RecordTypes.h
    SharedFormulas.cpp
    SharedStrings.cpp SharedStrings.h
    SheetLayout.cpp SheetLayout.h
    SheetWriter.cpp
    StreamRewriter.cpp StreamRewriter.h
    TableReader.cpp
    Values.cpp Values.h
    Workbook.cpp Workbook.h)
