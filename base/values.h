// The value tree behind JSON documents, preferences and statistics:
// a Value is null, a boolean, a 32-bit integer, a double, a UTF-8 string, a
// dictionary of named values or a list of values. Containers own their
// children through std::unique_ptr, so a child keeps its address for as long
// as it stays in its container.
//
// DictionaryValue paths are dotted: Set("a.b.c", v) stores v under "c" in
// the dictionary "b" of the dictionary "a", creating "a" and "b" when they
// are missing. The ...WithoutPathExpansion forms take the key literally.

#ifndef BASE_VALUES_H_
#define BASE_VALUES_H_

#include <stddef.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/strings/string16.h"

namespace base {

class DictionaryValue;
class ListValue;

class Value {
 public:
  enum class Type {
    NONE = 0,
    BOOLEAN,
    INTEGER,
    DOUBLE,
    STRING,
    DICTIONARY,
    LIST,
  };
  // The older spelling of the type names.
  static constexpr Type TYPE_NULL = Type::NONE;
  static constexpr Type TYPE_BOOLEAN = Type::BOOLEAN;
  static constexpr Type TYPE_INTEGER = Type::INTEGER;
  static constexpr Type TYPE_DOUBLE = Type::DOUBLE;
  static constexpr Type TYPE_STRING = Type::STRING;
  static constexpr Type TYPE_DICTIONARY = Type::DICTIONARY;
  static constexpr Type TYPE_LIST = Type::LIST;

  static std::unique_ptr<Value> CreateNullValue();

  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  virtual ~Value();

  Type GetType() const { return type_; }
  bool IsType(Type type) const { return type_ == type; }

  // Each returns true and fills |out| only when the value has that type;
  // GetAsDouble also accepts an integer. |out| may be null to test the type.
  virtual bool GetAsBoolean(bool* out) const;
  virtual bool GetAsInteger(int* out) const;
  virtual bool GetAsDouble(double* out) const;
  virtual bool GetAsString(std::string* out) const;
  virtual bool GetAsString(string16* out) const;
  virtual bool GetAsList(ListValue** out);
  virtual bool GetAsList(const ListValue** out) const;
  virtual bool GetAsDictionary(DictionaryValue** out);
  virtual bool GetAsDictionary(const DictionaryValue** out) const;

  std::unique_ptr<Value> DeepCopy() const;

  // Deep comparison; values of different types are never equal (1 != 1.0).
  virtual bool Equals(const Value* other) const;
  static bool Equals(const Value* a, const Value* b);

 protected:
  explicit Value(Type type) : type_(type) {}

 private:
  virtual std::unique_ptr<Value> CopyValue() const;

  const Type type_;
};

// A boolean, integer or double.
class FundamentalValue : public Value {
 public:
  explicit FundamentalValue(bool in_value);
  explicit FundamentalValue(int in_value);
  explicit FundamentalValue(double in_value);
  ~FundamentalValue() override;

  bool GetAsBoolean(bool* out) const override;
  bool GetAsInteger(int* out) const override;
  bool GetAsDouble(double* out) const override;
  bool Equals(const Value* other) const override;

 private:
  std::unique_ptr<Value> CopyValue() const override;

  union {
    bool boolean_value_;
    int integer_value_;
    double double_value_;
  };
};

// UTF-8 text; wide text is converted on the way in and out.
class StringValue : public Value {
 public:
  explicit StringValue(StringPiece in_value);
  explicit StringValue(StringPiece16 in_value);
  ~StringValue() override;

  const std::string& GetString() const { return value_; }

  bool GetAsString(std::string* out) const override;
  bool GetAsString(string16* out) const override;
  bool Equals(const Value* other) const override;

 private:
  std::unique_ptr<Value> CopyValue() const override;

  std::string value_;
};

class DictionaryValue : public Value {
 public:
  using Storage = std::map<std::string, std::unique_ptr<Value>>;

  // The dictionary inside |value|, or null (and |value| is dropped) when it
  // holds something else.
  static std::unique_ptr<DictionaryValue> From(std::unique_ptr<Value> value);

  DictionaryValue();
  ~DictionaryValue() override;

  // Whether |key| is a member of this dictionary itself (no path expansion).
  bool HasKey(StringPiece key) const;
  size_t size() const { return dictionary_.size(); }
  bool empty() const { return dictionary_.empty(); }
  void Clear();

  // Setters with dotted paths. A missing dictionary on the way is created,
  // and anything else on the way is replaced by a dictionary. Return the
  // stored value, owned by this dictionary.
  Value* Set(StringPiece path, std::unique_ptr<Value> in_value);
  void SetBoolean(StringPiece path, bool in_value);
  void SetInteger(StringPiece path, int in_value);
  void SetDouble(StringPiece path, double in_value);
  void SetString(StringPiece path, StringPiece in_value);
  void SetString(StringPiece path, StringPiece16 in_value);
  DictionaryValue* SetDictionary(StringPiece path,
                                 std::unique_ptr<DictionaryValue> in_value);
  ListValue* SetList(StringPiece path, std::unique_ptr<ListValue> in_value);

  Value* SetWithoutPathExpansion(StringPiece key,
                                 std::unique_ptr<Value> in_value);
  void SetBooleanWithoutPathExpansion(StringPiece key, bool in_value);
  void SetIntegerWithoutPathExpansion(StringPiece key, int in_value);
  void SetDoubleWithoutPathExpansion(StringPiece key, double in_value);
  void SetStringWithoutPathExpansion(StringPiece key, StringPiece in_value);
  void SetStringWithoutPathExpansion(StringPiece key, StringPiece16 in_value);
  DictionaryValue* SetDictionaryWithoutPathExpansion(
      StringPiece key,
      std::unique_ptr<DictionaryValue> in_value);
  ListValue* SetListWithoutPathExpansion(StringPiece key,
                                         std::unique_ptr<ListValue> in_value);

  // Getters with dotted paths: every part before the last must name a
  // dictionary. They return false, leaving |out_value| alone, when the path
  // is missing or the value has another type. GetInteger wants an integer;
  // GetDouble takes an integer or a double.
  bool Get(StringPiece path, const Value** out_value) const;
  bool Get(StringPiece path, Value** out_value);
  bool GetBoolean(StringPiece path, bool* out_value) const;
  bool GetInteger(StringPiece path, int* out_value) const;
  bool GetDouble(StringPiece path, double* out_value) const;
  bool GetString(StringPiece path, std::string* out_value) const;
  bool GetString(StringPiece path, string16* out_value) const;
  bool GetDictionary(StringPiece path, const DictionaryValue** out_value) const;
  bool GetDictionary(StringPiece path, DictionaryValue** out_value);
  bool GetList(StringPiece path, const ListValue** out_value) const;
  bool GetList(StringPiece path, ListValue** out_value);

  bool GetWithoutPathExpansion(StringPiece key, const Value** out_value) const;
  bool GetWithoutPathExpansion(StringPiece key, Value** out_value);
  bool GetBooleanWithoutPathExpansion(StringPiece key, bool* out_value) const;
  bool GetIntegerWithoutPathExpansion(StringPiece key, int* out_value) const;
  bool GetDoubleWithoutPathExpansion(StringPiece key, double* out_value) const;
  bool GetStringWithoutPathExpansion(StringPiece key,
                                     std::string* out_value) const;
  bool GetStringWithoutPathExpansion(StringPiece key,
                                     string16* out_value) const;
  bool GetDictionaryWithoutPathExpansion(
      StringPiece key,
      const DictionaryValue** out_value) const;
  bool GetDictionaryWithoutPathExpansion(StringPiece key,
                                         DictionaryValue** out_value);
  bool GetListWithoutPathExpansion(StringPiece key,
                                   const ListValue** out_value) const;
  bool GetListWithoutPathExpansion(StringPiece key, ListValue** out_value);

  // Removes the value at |path| and hands it to |out_value| when that is
  // not null. False when there is nothing to remove.
  bool Remove(StringPiece path, std::unique_ptr<Value>* out_value);
  bool RemoveWithoutPathExpansion(StringPiece key,
                                  std::unique_ptr<Value>* out_value);

  // Copies every member of |dictionary| into this one. Where both hold a
  // dictionary under the same key the two are merged member by member;
  // otherwise the incoming value replaces the old one.
  void MergeDictionary(const DictionaryValue* dictionary);

  std::unique_ptr<DictionaryValue> DeepCopy() const;

  bool GetAsDictionary(DictionaryValue** out) override;
  bool GetAsDictionary(const DictionaryValue** out) const override;
  bool Equals(const Value* other) const override;

  // Walks the members in key order:
  //   for (DictionaryValue::Iterator it(dict); !it.IsAtEnd(); it.Advance())
  // The dictionary must not change while an iterator is in use.
  class Iterator {
   public:
    explicit Iterator(const DictionaryValue& target);
    ~Iterator();

    bool IsAtEnd() const { return it_ == target_.dictionary_.end(); }
    void Advance() { ++it_; }
    const std::string& key() const { return it_->first; }
    const Value& value() const { return *it_->second; }

   private:
    const DictionaryValue& target_;
    Storage::const_iterator it_;
  };

 private:
  std::unique_ptr<Value> CopyValue() const override;
  // The dictionary that holds the last part of |path| for writing, created
  // as needed; |key| receives that last part.
  DictionaryValue* GetOrCreateParent(StringPiece path, StringPiece* key);
  // The dictionary that holds the last part of |path|, or null.
  const DictionaryValue* FindParent(StringPiece path, StringPiece* key) const;

  Storage dictionary_;
};

class ListValue : public Value {
 public:
  using Storage = std::vector<std::unique_ptr<Value>>;
  using const_iterator = Storage::const_iterator;

  static std::unique_ptr<ListValue> From(std::unique_ptr<Value> value);

  ListValue();
  ~ListValue() override;

  void Clear();
  size_t GetSize() const { return list_.size(); }
  bool empty() const { return list_.empty(); }

  // Stores |in_value| at |index|, replacing what was there. An index past
  // the end first pads the list with null values. False for a null value.
  bool Set(size_t index, std::unique_ptr<Value> in_value);

  // False when |index| is out of range or the element has another type.
  bool Get(size_t index, const Value** out_value) const;
  bool Get(size_t index, Value** out_value);
  bool GetBoolean(size_t index, bool* out_value) const;
  bool GetInteger(size_t index, int* out_value) const;
  bool GetDouble(size_t index, double* out_value) const;
  bool GetString(size_t index, std::string* out_value) const;
  bool GetString(size_t index, string16* out_value) const;
  bool GetDictionary(size_t index, const DictionaryValue** out_value) const;
  bool GetDictionary(size_t index, DictionaryValue** out_value);
  bool GetList(size_t index, const ListValue** out_value) const;
  bool GetList(size_t index, ListValue** out_value);

  // Removes the element at |index|; later elements move down one place.
  bool Remove(size_t index, std::unique_ptr<Value>* out_value);

  // Return the appended value, owned by this list.
  Value* Append(std::unique_ptr<Value> in_value);
  void AppendBoolean(bool in_value);
  void AppendInteger(int in_value);
  void AppendDouble(double in_value);
  void AppendString(StringPiece in_value);
  void AppendString(StringPiece16 in_value);

  const_iterator begin() const { return list_.begin(); }
  const_iterator end() const { return list_.end(); }

  std::unique_ptr<ListValue> DeepCopy() const;

  bool GetAsList(ListValue** out) override;
  bool GetAsList(const ListValue** out) const override;
  bool Equals(const Value* other) const override;

 private:
  std::unique_ptr<Value> CopyValue() const override;

  Storage list_;
};

}  // namespace base

#endif  // BASE_VALUES_H_
