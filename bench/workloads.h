// Seeded, deterministic generators of benchmark inputs. Each returns the
// whole input file; the same arguments always give the same bytes.
#ifndef FDKEEP_BENCH_WORKLOADS_H_
#define FDKEEP_BENCH_WORKLOADS_H_

#include <string>

// copies disjoint, renamed copies of a six-attribute exercise: three schemas
// of three attributes and five dependencies, one of which holds only through
// two schemas. Preserved.
std::string classroom_batch(int copies);

// A denormalised table over 350 * scale entities in hierarchies up to eight
// levels deep, with the dependencies a discovery tool reports on it (keys,
// alternate keys, accidental dependencies inside an entity and across its
// parent, zip-code lookups; about 34 per entity), decomposed into one schema
// per entity, one per lookup and a key schema. About 15 % of the
// dependencies hold only through several schemas. Preserved, unless lossy:
// then the last entity's lookup schema is missing, which loses a few of the
// dependencies whose left sides sort last.
std::string wide_table(int scale, bool lossy);

// Four hierarchies of 200 levels, one schema per level, named so that each
// pass of the test climbs one level; every fifth level also determines an
// attribute five levels up, and a fact schema ties the hierarchies together.
// Preserved.
std::string deep_chains();

// 1,000,000 lines: 90 % short schema lines drawn from 40 distinct schemas,
// then dependency lines drawn from 40 dependencies, with empty lines and
// repeated left sides among them.
std::string big_file();

#endif  // FDKEEP_BENCH_WORKLOADS_H_
