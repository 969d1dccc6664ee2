// Builds a multipart/form-data body: the text fields in the order of their
// names, then the file attachments, each part separated by a boundary that
// is random so that no field or file can end a part early.
//
//   HTTPMultipartBuilder builder;
//   builder.SetFormData("Version", "45.0.2531.0");
//   builder.SetFileAttachment("upload_file_minidump", "crash.dmp", dump_path,
//                             "application/octet-stream");
//   std::unique_ptr<HTTPBodyStream> body = builder.GetBodyStream();
//   if (!body)
//     return false;  // The file cannot be opened.
//   transport->SetHeader("Content-Type", builder.GetContentType());

#ifndef COMPONENTS_UPLOAD_HTTP_MULTIPART_BUILDER_H_
#define COMPONENTS_UPLOAD_HTTP_MULTIPART_BUILDER_H_

#include <map>
#include <memory>
#include <string>

#include "base/files/file_path.h"

namespace upload {

class HTTPBodyStream;

class HTTPMultipartBuilder {
 public:
  HTTPMultipartBuilder();
  HTTPMultipartBuilder(const HTTPMultipartBuilder&) = delete;
  HTTPMultipartBuilder& operator=(const HTTPMultipartBuilder&) = delete;
  ~HTTPMultipartBuilder();

  // A text field, UTF-8. A field or attachment of the same name is replaced:
  // a name stands for one value. In names (and file names) '"', CR and LF
  // are sent as %22, %0D and %0A, since they would end the quoted name or
  // the part's header line.
  void SetFormData(const std::string& key, const std::string& value);

  // A file sent as |upload_file_name| (UTF-8) with |content_type|; read
  // when the body is sent, not now.
  void SetFileAttachment(const std::string& key,
                         const std::string& upload_file_name,
                         const base::FilePath& path,
                         const std::string& content_type);

  // The whole body, or null when an attached file cannot be opened.
  std::unique_ptr<HTTPBodyStream> GetBodyStream() const;

  // "multipart/form-data; boundary=<the boundary>".
  std::string GetContentType() const;

 private:
  struct FileAttachment {
    std::string upload_file_name;
    base::FilePath path;
    std::string content_type;
  };

  const std::string boundary_;
  std::map<std::string, std::string> form_data_;
  std::map<std::string, FileAttachment> file_attachments_;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_HTTP_MULTIPART_BUILDER_H_
