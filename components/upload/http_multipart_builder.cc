#include "components/upload/http_multipart_builder.h"

#include <utility>
#include <vector>

#include "base/files/file.h"
#include "base/guid.h"
#include "base/logging.h"
#include "components/upload/composite_http_body_stream.h"
#include "components/upload/file_reader_http_body_stream.h"
#include "components/upload/string_http_body_stream.h"

namespace upload {

namespace {

constexpr char kCRLF[] = "\r\n";

// 128 random bits: a boundary no field or file will hold by chance.
std::string MakeBoundary() {
  std::string boundary = "---KelvoMultipartBoundary-";
  for (char c : base::GenerateGUID()) {
    if (c != '-')
      boundary.push_back(c);
  }
  return boundary + "---";
}

std::string EncodeName(const std::string& name) {
  std::string encoded;
  for (char c : name) {
    if (c == '"')
      encoded += "%22";
    else if (c == '\r')
      encoded += "%0D";
    else if (c == '\n')
      encoded += "%0A";
    else
      encoded.push_back(c);
  }
  return encoded;
}

std::string PartHeader(const std::string& boundary, const std::string& key) {
  return "--" + boundary + kCRLF + "Content-Disposition: form-data; name=\"" +
         EncodeName(key) + "\"";
}

}  // namespace

HTTPMultipartBuilder::HTTPMultipartBuilder() : boundary_(MakeBoundary()) {}

HTTPMultipartBuilder::~HTTPMultipartBuilder() = default;

void HTTPMultipartBuilder::SetFormData(const std::string& key,
                                       const std::string& value) {
  file_attachments_.erase(key);
  form_data_[key] = value;
}

void HTTPMultipartBuilder::SetFileAttachment(
    const std::string& key,
    const std::string& upload_file_name,
    const base::FilePath& path,
    const std::string& content_type) {
  DCHECK_EQ(content_type.find_first_of("\r\n"), std::string::npos);
  form_data_.erase(key);
  file_attachments_[key] = {upload_file_name, path, content_type};
}

std::unique_ptr<HTTPBodyStream> HTTPMultipartBuilder::GetBodyStream() const {
  std::vector<std::unique_ptr<HTTPBodyStream>> parts;
  // Consecutive fixed texts are joined into one part.
  std::string text;
  for (const auto& [key, value] : form_data_)
    text += PartHeader(boundary_, key) + kCRLF + kCRLF + value + kCRLF;
  for (const auto& [key, attachment] : file_attachments_) {
    base::File file(attachment.path,
                    base::File::FLAG_OPEN | base::File::FLAG_READ);
    if (!file.IsValid()) {
      LOG(ERROR) << "Cannot open " << attachment.path << " to upload: "
                 << base::File::ErrorToString(file.error_details());
      return nullptr;
    }
    text += PartHeader(boundary_, key) + "; filename=\"" +
            EncodeName(attachment.upload_file_name) + "\"" + kCRLF +
            "Content-Type: " + attachment.content_type + kCRLF + kCRLF;
    parts.push_back(std::make_unique<StringHTTPBodyStream>(std::move(text)));
    text.clear();
    parts.push_back(
        std::make_unique<FileReaderHTTPBodyStream>(std::move(file)));
    text = kCRLF;
  }
  text += "--" + boundary_ + "--" + kCRLF;
  parts.push_back(std::make_unique<StringHTTPBodyStream>(std::move(text)));
  return std::make_unique<CompositeHTTPBodyStream>(std::move(parts));
}

std::string HTTPMultipartBuilder::GetContentType() const {
  return "multipart/form-data; boundary=" + boundary_;
}

}  // namespace upload
