#include "base/values.h"

#include <utility>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

// Splits |path| at its first '.'; false when there is none.
bool SplitFirst(StringPiece path, StringPiece* head, StringPiece* rest) {
  size_t dot = path.find('.');
  if (dot == StringPiece::npos)
    return false;
  *head = path.substr(0, dot);
  *rest = path.substr(dot + 1);
  return true;
}

}  // namespace

// Value -----------------------------------------------------------------

std::unique_ptr<Value> Value::CreateNullValue() {
  return std::unique_ptr<Value>(new Value(Type::NONE));
}

Value::~Value() = default;

bool Value::GetAsBoolean(bool*) const {
  return false;
}
bool Value::GetAsInteger(int*) const {
  return false;
}
bool Value::GetAsDouble(double*) const {
  return false;
}
bool Value::GetAsString(std::string*) const {
  return false;
}
bool Value::GetAsString(string16*) const {
  return false;
}
bool Value::GetAsList(ListValue**) {
  return false;
}
bool Value::GetAsList(const ListValue**) const {
  return false;
}
bool Value::GetAsDictionary(DictionaryValue**) {
  return false;
}
bool Value::GetAsDictionary(const DictionaryValue**) const {
  return false;
}

std::unique_ptr<Value> Value::DeepCopy() const {
  return CopyValue();
}

std::unique_ptr<Value> Value::CopyValue() const {
  DCHECK(IsType(Type::NONE));
  return CreateNullValue();
}

bool Value::Equals(const Value* other) const {
  DCHECK(IsType(Type::NONE));
  return other && other->IsType(Type::NONE);
}

// static
bool Value::Equals(const Value* a, const Value* b) {
  if (!a || !b)
    return a == b;
  return a->Equals(b);
}

// FundamentalValue ------------------------------------------------------

FundamentalValue::FundamentalValue(bool in_value)
    : Value(Type::BOOLEAN), boolean_value_(in_value) {}
FundamentalValue::FundamentalValue(int in_value)
    : Value(Type::INTEGER), integer_value_(in_value) {}
FundamentalValue::FundamentalValue(double in_value)
    : Value(Type::DOUBLE), double_value_(in_value) {}
FundamentalValue::~FundamentalValue() = default;

bool FundamentalValue::GetAsBoolean(bool* out) const {
  if (!IsType(Type::BOOLEAN))
    return false;
  if (out)
    *out = boolean_value_;
  return true;
}

bool FundamentalValue::GetAsInteger(int* out) const {
  if (!IsType(Type::INTEGER))
    return false;
  if (out)
    *out = integer_value_;
  return true;
}

bool FundamentalValue::GetAsDouble(double* out) const {
  if (IsType(Type::DOUBLE)) {
    if (out)
      *out = double_value_;
    return true;
  }
  if (IsType(Type::INTEGER)) {
    if (out)
      *out = integer_value_;
    return true;
  }
  return false;
}

std::unique_ptr<Value> FundamentalValue::CopyValue() const {
  switch (GetType()) {
    case Type::BOOLEAN:
      return std::make_unique<FundamentalValue>(boolean_value_);
    case Type::INTEGER:
      return std::make_unique<FundamentalValue>(integer_value_);
    default:
      DCHECK(IsType(Type::DOUBLE));
      return std::make_unique<FundamentalValue>(double_value_);
  }
}

bool FundamentalValue::Equals(const Value* other) const {
  if (!other || other->GetType() != GetType())
    return false;
  switch (GetType()) {
    case Type::BOOLEAN: {
      bool b = false;
      return other->GetAsBoolean(&b) && b == boolean_value_;
    }
    case Type::INTEGER: {
      int i = 0;
      return other->GetAsInteger(&i) && i == integer_value_;
    }
    default: {
      double d = 0;
      return other->GetAsDouble(&d) && d == double_value_;
    }
  }
}

// StringValue -----------------------------------------------------------

StringValue::StringValue(StringPiece in_value)
    : Value(Type::STRING), value_(in_value) {}
StringValue::StringValue(StringPiece16 in_value)
    : Value(Type::STRING), value_(WideToUTF8(in_value)) {}
StringValue::~StringValue() = default;

bool StringValue::GetAsString(std::string* out) const {
  if (out)
    *out = value_;
  return true;
}

bool StringValue::GetAsString(string16* out) const {
  if (out)
    *out = UTF8ToWide(value_);
  return true;
}

std::unique_ptr<Value> StringValue::CopyValue() const {
  return std::make_unique<StringValue>(value_);
}

bool StringValue::Equals(const Value* other) const {
  std::string text;
  return other && other->IsType(Type::STRING) && other->GetAsString(&text) &&
         text == value_;
}

// DictionaryValue -------------------------------------------------------

// static
std::unique_ptr<DictionaryValue> DictionaryValue::From(
    std::unique_ptr<Value> value) {
  DictionaryValue* dictionary = nullptr;
  if (value && value->GetAsDictionary(&dictionary)) {
    value.release();
    return std::unique_ptr<DictionaryValue>(dictionary);
  }
  return nullptr;
}

DictionaryValue::DictionaryValue() : Value(Type::DICTIONARY) {}
DictionaryValue::~DictionaryValue() = default;

bool DictionaryValue::HasKey(StringPiece key) const {
  return dictionary_.find(std::string(key)) != dictionary_.end();
}

void DictionaryValue::Clear() {
  dictionary_.clear();
}

DictionaryValue* DictionaryValue::GetOrCreateParent(StringPiece path,
                                                    StringPiece* key) {
  DictionaryValue* current = this;
  StringPiece head;
  StringPiece rest;
  while (SplitFirst(path, &head, &rest)) {
    DictionaryValue* child = nullptr;
    if (!current->GetDictionaryWithoutPathExpansion(head, &child)) {
      child = current->SetDictionaryWithoutPathExpansion(
          head, std::make_unique<DictionaryValue>());
    }
    current = child;
    path = rest;
  }
  *key = path;
  return current;
}

const DictionaryValue* DictionaryValue::FindParent(StringPiece path,
                                                   StringPiece* key) const {
  const DictionaryValue* current = this;
  StringPiece head;
  StringPiece rest;
  while (SplitFirst(path, &head, &rest)) {
    if (!current->GetDictionaryWithoutPathExpansion(head, &current))
      return nullptr;
    path = rest;
  }
  *key = path;
  return current;
}

Value* DictionaryValue::Set(StringPiece path, std::unique_ptr<Value> in_value) {
  StringPiece key;
  return GetOrCreateParent(path, &key)
      ->SetWithoutPathExpansion(key, std::move(in_value));
}

void DictionaryValue::SetBoolean(StringPiece path, bool in_value) {
  Set(path, std::make_unique<FundamentalValue>(in_value));
}
void DictionaryValue::SetInteger(StringPiece path, int in_value) {
  Set(path, std::make_unique<FundamentalValue>(in_value));
}
void DictionaryValue::SetDouble(StringPiece path, double in_value) {
  Set(path, std::make_unique<FundamentalValue>(in_value));
}
void DictionaryValue::SetString(StringPiece path, StringPiece in_value) {
  Set(path, std::make_unique<StringValue>(in_value));
}
void DictionaryValue::SetString(StringPiece path, StringPiece16 in_value) {
  Set(path, std::make_unique<StringValue>(in_value));
}
DictionaryValue* DictionaryValue::SetDictionary(
    StringPiece path,
    std::unique_ptr<DictionaryValue> in_value) {
  return static_cast<DictionaryValue*>(Set(path, std::move(in_value)));
}
ListValue* DictionaryValue::SetList(StringPiece path,
                                    std::unique_ptr<ListValue> in_value) {
  return static_cast<ListValue*>(Set(path, std::move(in_value)));
}

Value* DictionaryValue::SetWithoutPathExpansion(
    StringPiece key,
    std::unique_ptr<Value> in_value) {
  DCHECK(in_value);
  if (!in_value)
    in_value = CreateNullValue();
  Value* stored = in_value.get();
  dictionary_[std::string(key)] = std::move(in_value);
  return stored;
}

void DictionaryValue::SetBooleanWithoutPathExpansion(StringPiece key,
                                                     bool in_value) {
  SetWithoutPathExpansion(key, std::make_unique<FundamentalValue>(in_value));
}
void DictionaryValue::SetIntegerWithoutPathExpansion(StringPiece key,
                                                     int in_value) {
  SetWithoutPathExpansion(key, std::make_unique<FundamentalValue>(in_value));
}
void DictionaryValue::SetDoubleWithoutPathExpansion(StringPiece key,
                                                    double in_value) {
  SetWithoutPathExpansion(key, std::make_unique<FundamentalValue>(in_value));
}
void DictionaryValue::SetStringWithoutPathExpansion(StringPiece key,
                                                    StringPiece in_value) {
  SetWithoutPathExpansion(key, std::make_unique<StringValue>(in_value));
}
void DictionaryValue::SetStringWithoutPathExpansion(StringPiece key,
                                                    StringPiece16 in_value) {
  SetWithoutPathExpansion(key, std::make_unique<StringValue>(in_value));
}
DictionaryValue* DictionaryValue::SetDictionaryWithoutPathExpansion(
    StringPiece key,
    std::unique_ptr<DictionaryValue> in_value) {
  return static_cast<DictionaryValue*>(
      SetWithoutPathExpansion(key, std::move(in_value)));
}
ListValue* DictionaryValue::SetListWithoutPathExpansion(
    StringPiece key,
    std::unique_ptr<ListValue> in_value) {
  return static_cast<ListValue*>(
      SetWithoutPathExpansion(key, std::move(in_value)));
}

bool DictionaryValue::Get(StringPiece path, const Value** out_value) const {
  StringPiece key;
  const DictionaryValue* parent = FindParent(path, &key);
  return parent && parent->GetWithoutPathExpansion(key, out_value);
}

bool DictionaryValue::Get(StringPiece path, Value** out_value) {
  const Value* value = nullptr;
  if (!static_cast<const DictionaryValue*>(this)->Get(path, &value))
    return false;
  if (out_value)
    *out_value = const_cast<Value*>(value);
  return true;
}

bool DictionaryValue::GetBoolean(StringPiece path, bool* out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsBoolean(out_value);
}
bool DictionaryValue::GetInteger(StringPiece path, int* out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsInteger(out_value);
}
bool DictionaryValue::GetDouble(StringPiece path, double* out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsDouble(out_value);
}
bool DictionaryValue::GetString(StringPiece path,
                                std::string* out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsString(out_value);
}
bool DictionaryValue::GetString(StringPiece path, string16* out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsString(out_value);
}
bool DictionaryValue::GetDictionary(StringPiece path,
                                    const DictionaryValue** out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsDictionary(out_value);
}
bool DictionaryValue::GetDictionary(StringPiece path,
                                    DictionaryValue** out_value) {
  Value* value = nullptr;
  return Get(path, &value) && value->GetAsDictionary(out_value);
}
bool DictionaryValue::GetList(StringPiece path,
                              const ListValue** out_value) const {
  const Value* value = nullptr;
  return Get(path, &value) && value->GetAsList(out_value);
}
bool DictionaryValue::GetList(StringPiece path, ListValue** out_value) {
  Value* value = nullptr;
  return Get(path, &value) && value->GetAsList(out_value);
}

bool DictionaryValue::GetWithoutPathExpansion(StringPiece key,
                                              const Value** out_value) const {
  auto it = dictionary_.find(std::string(key));
  if (it == dictionary_.end())
    return false;
  if (out_value)
    *out_value = it->second.get();
  return true;
}

bool DictionaryValue::GetWithoutPathExpansion(StringPiece key,
                                              Value** out_value) {
  auto it = dictionary_.find(std::string(key));
  if (it == dictionary_.end())
    return false;
  if (out_value)
    *out_value = it->second.get();
  return true;
}

bool DictionaryValue::GetBooleanWithoutPathExpansion(StringPiece key,
                                                     bool* out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsBoolean(out_value);
}
bool DictionaryValue::GetIntegerWithoutPathExpansion(StringPiece key,
                                                     int* out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsInteger(out_value);
}
bool DictionaryValue::GetDoubleWithoutPathExpansion(StringPiece key,
                                                    double* out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsDouble(out_value);
}
bool DictionaryValue::GetStringWithoutPathExpansion(
    StringPiece key,
    std::string* out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsString(out_value);
}
bool DictionaryValue::GetStringWithoutPathExpansion(StringPiece key,
                                                    string16* out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsString(out_value);
}
bool DictionaryValue::GetDictionaryWithoutPathExpansion(
    StringPiece key,
    const DictionaryValue** out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) &&
         value->GetAsDictionary(out_value);
}
bool DictionaryValue::GetDictionaryWithoutPathExpansion(
    StringPiece key,
    DictionaryValue** out_value) {
  Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) &&
         value->GetAsDictionary(out_value);
}
bool DictionaryValue::GetListWithoutPathExpansion(
    StringPiece key,
    const ListValue** out_value) const {
  const Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsList(out_value);
}
bool DictionaryValue::GetListWithoutPathExpansion(StringPiece key,
                                                  ListValue** out_value) {
  Value* value = nullptr;
  return GetWithoutPathExpansion(key, &value) && value->GetAsList(out_value);
}

bool DictionaryValue::Remove(StringPiece path,
                             std::unique_ptr<Value>* out_value) {
  StringPiece key;
  const DictionaryValue* parent = FindParent(path, &key);
  return parent &&
         const_cast<DictionaryValue*>(parent)->RemoveWithoutPathExpansion(
             key, out_value);
}

bool DictionaryValue::RemoveWithoutPathExpansion(
    StringPiece key,
    std::unique_ptr<Value>* out_value) {
  auto it = dictionary_.find(std::string(key));
  if (it == dictionary_.end())
    return false;
  if (out_value)
    *out_value = std::move(it->second);
  dictionary_.erase(it);
  return true;
}

void DictionaryValue::MergeDictionary(const DictionaryValue* dictionary) {
  DCHECK(dictionary);
  DCHECK_NE(dictionary, this);
  for (const auto& [key, value] : dictionary->dictionary_) {
    const DictionaryValue* incoming = nullptr;
    DictionaryValue* existing = nullptr;
    if (value->GetAsDictionary(&incoming) &&
        GetDictionaryWithoutPathExpansion(key, &existing)) {
      existing->MergeDictionary(incoming);
      continue;
    }
    SetWithoutPathExpansion(key, value->DeepCopy());
  }
}

std::unique_ptr<DictionaryValue> DictionaryValue::DeepCopy() const {
  auto copy = std::make_unique<DictionaryValue>();
  for (const auto& [key, value] : dictionary_)
    copy->dictionary_[key] = value->DeepCopy();
  return copy;
}

std::unique_ptr<Value> DictionaryValue::CopyValue() const {
  return DeepCopy();
}

bool DictionaryValue::GetAsDictionary(DictionaryValue** out) {
  if (out)
    *out = this;
  return true;
}

bool DictionaryValue::GetAsDictionary(const DictionaryValue** out) const {
  if (out)
    *out = this;
  return true;
}

bool DictionaryValue::Equals(const Value* other) const {
  const DictionaryValue* that = nullptr;
  if (!other || !other->GetAsDictionary(&that))
    return false;
  if (that->dictionary_.size() != dictionary_.size())
    return false;
  auto mine = dictionary_.begin();
  auto theirs = that->dictionary_.begin();
  for (; mine != dictionary_.end(); ++mine, ++theirs) {
    if (mine->first != theirs->first ||
        !mine->second->Equals(theirs->second.get())) {
      return false;
    }
  }
  return true;
}

DictionaryValue::Iterator::Iterator(const DictionaryValue& target)
    : target_(target), it_(target.dictionary_.begin()) {}
DictionaryValue::Iterator::~Iterator() = default;

// ListValue -------------------------------------------------------------

// static
std::unique_ptr<ListValue> ListValue::From(std::unique_ptr<Value> value) {
  ListValue* list = nullptr;
  if (value && value->GetAsList(&list)) {
    value.release();
    return std::unique_ptr<ListValue>(list);
  }
  return nullptr;
}

ListValue::ListValue() : Value(Type::LIST) {}
ListValue::~ListValue() = default;

void ListValue::Clear() {
  list_.clear();
}

bool ListValue::Set(size_t index, std::unique_ptr<Value> in_value) {
  if (!in_value)
    return false;
  while (list_.size() <= index)
    list_.push_back(CreateNullValue());
  list_[index] = std::move(in_value);
  return true;
}

bool ListValue::Get(size_t index, const Value** out_value) const {
  if (index >= list_.size())
    return false;
  if (out_value)
    *out_value = list_[index].get();
  return true;
}

bool ListValue::Get(size_t index, Value** out_value) {
  if (index >= list_.size())
    return false;
  if (out_value)
    *out_value = list_[index].get();
  return true;
}

bool ListValue::GetBoolean(size_t index, bool* out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsBoolean(out_value);
}
bool ListValue::GetInteger(size_t index, int* out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsInteger(out_value);
}
bool ListValue::GetDouble(size_t index, double* out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsDouble(out_value);
}
bool ListValue::GetString(size_t index, std::string* out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsString(out_value);
}
bool ListValue::GetString(size_t index, string16* out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsString(out_value);
}
bool ListValue::GetDictionary(size_t index,
                              const DictionaryValue** out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsDictionary(out_value);
}
bool ListValue::GetDictionary(size_t index, DictionaryValue** out_value) {
  Value* value = nullptr;
  return Get(index, &value) && value->GetAsDictionary(out_value);
}
bool ListValue::GetList(size_t index, const ListValue** out_value) const {
  const Value* value = nullptr;
  return Get(index, &value) && value->GetAsList(out_value);
}
bool ListValue::GetList(size_t index, ListValue** out_value) {
  Value* value = nullptr;
  return Get(index, &value) && value->GetAsList(out_value);
}

bool ListValue::Remove(size_t index, std::unique_ptr<Value>* out_value) {
  if (index >= list_.size())
    return false;
  if (out_value)
    *out_value = std::move(list_[index]);
  list_.erase(list_.begin() + index);
  return true;
}

Value* ListValue::Append(std::unique_ptr<Value> in_value) {
  DCHECK(in_value);
  if (!in_value)
    in_value = CreateNullValue();
  list_.push_back(std::move(in_value));
  return list_.back().get();
}

void ListValue::AppendBoolean(bool in_value) {
  Append(std::make_unique<FundamentalValue>(in_value));
}
void ListValue::AppendInteger(int in_value) {
  Append(std::make_unique<FundamentalValue>(in_value));
}
void ListValue::AppendDouble(double in_value) {
  Append(std::make_unique<FundamentalValue>(in_value));
}
void ListValue::AppendString(StringPiece in_value) {
  Append(std::make_unique<StringValue>(in_value));
}
void ListValue::AppendString(StringPiece16 in_value) {
  Append(std::make_unique<StringValue>(in_value));
}

std::unique_ptr<ListValue> ListValue::DeepCopy() const {
  auto copy = std::make_unique<ListValue>();
  for (const auto& value : list_)
    copy->list_.push_back(value->DeepCopy());
  return copy;
}

std::unique_ptr<Value> ListValue::CopyValue() const {
  return DeepCopy();
}

bool ListValue::GetAsList(ListValue** out) {
  if (out)
    *out = this;
  return true;
}

bool ListValue::GetAsList(const ListValue** out) const {
  if (out)
    *out = this;
  return true;
}

bool ListValue::Equals(const Value* other) const {
  const ListValue* that = nullptr;
  if (!other || !other->GetAsList(&that))
    return false;
  if (that->list_.size() != list_.size())
    return false;
  for (size_t i = 0; i < list_.size(); ++i) {
    if (!list_[i]->Equals(that->list_[i].get()))
      return false;
  }
  return true;
}

}  // namespace base
