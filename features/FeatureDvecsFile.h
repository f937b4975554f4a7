#pragma once
// A document-vector sink that writes each document as one record of a
// document-vector file (DocVec).

#include <memory>
#include <string>

#include "features/DocVec.h"
#include "features/FeatureDvecs.h"

namespace ovix {

// The file format of a FeatureDvecsFile. The module passes any int on;
// FeatureDvecsFile refuses codes it does not name.
enum FeatureDvecsFileFormat : int {
    FEATURE_DVECS_FILE_FORMAT_BINARY = 0,      // DOCVEC_FORMAT_BINARY
    FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED = 1,  // DOCVEC_FORMAT_MAPPED: ids renumbered 1, 2, ...
};

class FeatureDvecsFile : public FeatureDvecs {
public:
    // Creates the file at `path` and writes its first header. Throws "unknown
    // format", or "file creation error" when the file cannot be created.
    explicit FeatureDvecsFile(std::string path, FeatureDvecsFileFormat format = FEATURE_DVECS_FILE_FORMAT_BINARY);

    // Closes the file if it is open, deletes it (sub-files of a file past its
    // size limit stay) and creates it again, empty. Throws "file creation
    // error" when it cannot, and the sink stays closed.
    void reset() override;
    // Writes one record. Throws "file is closed" after close, and DocVecError
    // when the write fails.
    void addFeatures(int id, int label, const HoldBytes& dvir) override;
    // Rewrites the headers with the final counts and closes the file; the
    // sink then takes no documents until reset. Throws "file is closed" when
    // it is closed already, and DocVecError when the write fails (the file
    // is closed then too).
    void close() override;

    const std::string& getFilename() const { return m_path; }

private:
    void open();

    std::string m_path;
    DocVecFormat m_format;
    std::unique_ptr<DocVec> m_writer;  // null once closed; closes the file when destroyed
};

}  // namespace ovix
