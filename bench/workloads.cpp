#include "workloads.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <vector>

namespace {

using names = std::vector<std::string>;

std::string join(const names& list) {
  std::string text;
  for (const std::string& name : list) {
    if (!text.empty()) text += ',';
    text += name;
  }
  return text;
}

void add_line(std::string& file, const names& schema) {
  file += join(schema) + '\n';
}

void add_dependency(std::string& file, const names& left, const names& right) {
  file += join(left) + "->" + join(right) + '\n';
}

int pick(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

std::string numbered(const char* format, int n) {
  char text[32];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

}  // namespace

std::string classroom_batch(int copies) {
  std::string schemas, dependencies;
  for (int i = 0; i < copies; ++i) {
    auto a = [i](char letter) {
      return std::string(1, letter) + std::to_string(i);
    };
    add_line(schemas, {a('A'), a('B'), a('C')});
    add_line(schemas, {a('C'), a('D'), a('E')});
    add_line(schemas, {a('A'), a('E'), a('F')});
    add_dependency(dependencies, {a('A')}, {a('B'), a('C')});
    add_dependency(dependencies, {a('C')}, {a('D')});
    add_dependency(dependencies, {a('D')}, {a('E')});
    add_dependency(dependencies, {a('E')}, {a('F')});
    add_dependency(dependencies, {a('A'), a('B')}, {a('E')});  // via C, D
  }
  return schemas + "\n" + dependencies;
}

std::string wide_table(int scale, bool lossy) {
  std::mt19937 random(4242);
  const int entities = 350 * scale;
  struct entity {
    int parent;  // -1 for the root of a hierarchy
    int depth;   // 1 for a root
    names columns;
    std::string key, alternate, zip, city, state;
  };
  std::vector<entity> all(entities);
  std::vector<bool> has_child(entities, false);
  for (int e = 0; e < entities; ++e) {
    entity& x = all[e];
    const std::string prefix = numbered("e%04d_", e);
    x.key = prefix + "id";
    x.alternate = prefix + "code";
    x.zip = prefix + "zip";
    x.city = prefix + "city";
    x.state = prefix + "state";
    for (int c = pick(random, 10, 16); c > 0; --c)
      x.columns.push_back(prefix + numbered("c%02d", c));
    std::sort(x.columns.begin(), x.columns.end());
    // A parent among recent entities that are not yet eight levels down.
    x.parent = -1;
    x.depth = 1;
    if (e > 0 && pick(random, 0, 9) > 0) {
      const int p = pick(random, std::max(0, e - 30), e - 1);
      if (all[p].depth < 8) {
        x.parent = p;
        x.depth = all[p].depth + 1;
        has_child[p] = true;
      }
    }
  }

  std::string schemas, dependencies;
  names key_schema;
  for (int e = 0; e < entities; ++e) {
    const entity& x = all[e];
    // Everything the entity's key determines: its own columns, its lookup,
    // and, up the hierarchy, every ancestor's key, columns and lookup.
    names own = x.columns;
    own.push_back(x.zip);
    if (x.parent >= 0) own.push_back(all[x.parent].key);
    names determined = own;
    for (int a = e; a >= 0; a = all[a].parent) {
      const entity& y = all[a];
      if (a != e) {
        determined.push_back(y.key);
        determined.push_back(y.alternate);
        determined.insert(determined.end(), y.columns.begin(), y.columns.end());
        determined.push_back(y.zip);
      }
      determined.push_back(y.city);
      determined.push_back(y.state);
    }
    std::sort(determined.begin(), determined.end());
    determined.erase(std::unique(determined.begin(), determined.end()),
                     determined.end());

    names schema = own;
    schema.push_back(x.key);
    schema.push_back(x.alternate);
    add_line(schemas, schema);
    if (!(lossy && e == entities - 1))
      add_line(schemas, {x.zip, x.city, x.state});
    if (!has_child[e]) key_schema.push_back(x.key);

    names by_key = determined;
    by_key.push_back(x.alternate);
    add_dependency(dependencies, {x.key}, by_key);
    names by_alternate = determined;
    by_alternate.push_back(x.key);
    add_dependency(dependencies, {x.alternate}, by_alternate);
    add_dependency(dependencies, {x.zip}, {x.city, x.state});

    // Accidental dependencies: pairs of columns that determine another
    // column (inside the entity), or that determine the zip code or the
    // parent and so everything above (across several schemas).
    std::set<std::pair<int, int>> used;
    const int count = static_cast<int>(x.columns.size());
    for (int n = 0; n < 31;) {
      int a = pick(random, 0, count - 1), b = pick(random, 0, count - 1);
      if (a == b || !used.insert({std::min(a, b), std::max(a, b)}).second)
        continue;
      const names left = {x.columns[a], x.columns[b]};
      if (n < 28) {
        int c = pick(random, 0, count - 1);
        while (c == a || c == b) c = (c + 1) % count;
        add_dependency(dependencies, left, {x.columns[c]});
      } else if (x.parent >= 0) {
        const entity& p = all[x.parent];
        add_dependency(dependencies, left,
                       {p.key, p.columns[n % p.columns.size()], p.city});
      } else {
        add_dependency(dependencies, left, {x.zip, x.city});
      }
      ++n;
    }
  }
  add_line(schemas, key_schema);
  return schemas + "\n" + dependencies;
}

std::string deep_chains() {
  const int levels = 200;
  std::string schemas, dependencies;
  names fact = {"fact_id"};
  // Level names count down, so a higher level's schema sorts first and
  // every pass of the test climbs one level.
  for (int h = 0; h < 4; ++h) {
    auto level = [h](int i) {
      return numbered("h%d_L", h) + std::to_string(999 - i);
    };
    auto info = [h](int i) {
      return numbered("h%d_I", h) + std::to_string(999 - i);
    };
    fact.push_back(level(0));
    for (int i = 0; i < levels; ++i) {
      if (i + 1 < levels) {
        add_line(schemas, {info(i), level(i), level(i + 1)});
        add_dependency(dependencies, {level(i)}, {info(i), level(i + 1)});
      } else {
        add_line(schemas, {info(i), level(i)});
        add_dependency(dependencies, {level(i)}, {info(i)});
      }
      if (i % 5 == 0 && i + 5 < levels)
        add_dependency(dependencies, {level(i), info(i)}, {info(i + 5)});
    }
    add_dependency(dependencies, {"fact_id", level(0)}, {info(levels - 1)});
  }
  add_line(schemas, fact);
  add_dependency(dependencies, {"fact_id"},
                 names(fact.begin() + 1, fact.end()));
  return schemas + "\n" + dependencies;
}

std::string big_file() {
  std::mt19937 random(77);
  const int kLines = 1000000, kSchemaLines = 900000;
  auto attribute = [&] {
    return std::string(1, static_cast<char>('A' + pick(random, 0, 19)));
  };
  std::vector<std::string> schemas, dependencies;
  while (schemas.size() < 40) {
    std::set<std::string> s;
    for (int n = pick(random, 2, 4); n > 0; --n) s.insert(attribute());
    const std::string line = join(names(s.begin(), s.end()));
    if (std::find(schemas.begin(), schemas.end(), line) == schemas.end())
      schemas.push_back(line);
  }
  // 40 dependencies over 25 left sides: some left sides repeat.
  std::vector<std::string> lefts;
  for (int n = 0; n < 25; ++n) {
    std::string left = attribute();
    if (n % 3 == 0) left.append(",").append(attribute());
    lefts.push_back(left);
  }
  for (int n = 0; n < 40; ++n)
    dependencies.push_back(lefts[pick(random, 0, 24)] + "->" + attribute());
  std::string file;
  file.reserve(kLines * 8);
  for (int n = 0; n < kSchemaLines; ++n)
    file += schemas[pick(random, 0, 39)] + '\n';
  file += '\n';
  for (int n = kSchemaLines + 1; n < kLines; ++n)
    file += (pick(random, 0, 19) == 0 ? std::string()
                                      : dependencies[pick(random, 0, 39)]) +
            '\n';
  return file;
}
