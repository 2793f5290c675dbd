// Generates bitsliced circuits for the eight DES S-boxes from the parsed decimal text of the
// standard (ansicrypt/cipher/detail/des_tables.h), as C++ function templates:
//   SBoxLut<box>(x0..x5, y0..y3)    3-input lookup gates (AVX-512 vpternlogd)
//   SBoxGates<box>(x0..x5, y0..y3)  AND, OR, XOR, ANDNOT (AVX2)
// x0 is the box's first input bit (the high bit of the row), x5 its last; y0 is the first output
// bit (the high bit of the S-box value). Both circuits are multiplexer trees over the inputs
// (Shannon decomposition, each multiplexer also allowed to take a cofactor's difference with the
// other, as in Davio's decomposition), identical sub-functions shared, in the variable order and
// the order of the outputs that need the fewest gates; the lookup gates may also choose their
// variable at every node, and the two-input gates choose among several forms of each multiplexer
// (see Mux) and reuse a function's complement. Every output is checked against its S-box before
// it is written. The search takes about two minutes; its output is committed, and a test proves
// that running it again gives the committed file byte for byte.
//
//   des_sbox_circuits OUT.h
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ansicrypt/cipher/detail/des_tables.h"

namespace {

using Mask = std::uint64_t;  // a function of the 6 inputs: bit x is its value for input x
constexpr Mask kAll = ~Mask{0};

// Input i (0..5) as a function: set for the inputs x whose bit 5 - i is set.
constexpr Mask VariableMask(int i) {
  Mask m = 0;
  for (unsigned x = 0; x < 64; ++x) {
    if ((x >> (5 - i)) & 1U) m |= Mask{1} << x;
  }
  return m;
}

// The function with input i fixed to `value`, as a function of all inputs again.
Mask Cofactor(Mask f, int i, bool value) {
  Mask out = 0;
  const unsigned bit = 1U << (5 - i);
  for (unsigned x = 0; x < 64; ++x) {
    const unsigned source = value ? (x | bit) : (x & ~bit);
    if ((f >> source) & 1U) out |= Mask{1} << x;
  }
  return out;
}

Mask OutputMask(int box, int output) {
  const auto& s = ansicrypt::detail::kStandardTables.S[static_cast<std::size_t>(box)];
  Mask m = 0;
  for (unsigned x = 0; x < 64; ++x) {
    const unsigned row = ((x >> 4) & 2U) | (x & 1U);
    const unsigned column = (x >> 1) & 0xfU;
    const auto value = static_cast<unsigned>(s[row][column]);
    if ((value >> (3 - output)) & 1U) m |= Mask{1} << x;
  }
  return m;
}

// A circuit under construction: every node is a function (mask), made once.
struct Circuit {
  struct Gate {
    std::string op;  // "and", "or", "xor", "andnot", "lut"
    int a = -1, b = -1, c = -1;
    unsigned imm = 0;
  };
  std::vector<Mask> functions;
  std::vector<Gate> gates;  // gates[i] makes functions[i]; inputs and constants have op ""
  std::map<Mask, int> index;

  Circuit() {
    for (int i = 0; i < 6; ++i) Add(VariableMask(i), {});
    Add(0, {});
    Add(kAll, {"ones"});
  }
  int Add(Mask f, Gate g) {
    const auto it = index.find(f);
    if (it != index.end()) return it->second;
    functions.push_back(f);
    gates.push_back(std::move(g));
    return index[f] = static_cast<int>(functions.size() - 1);
  }
  bool Has(Mask f) const { return index.count(f) != 0; }
  Mask At(int node) const { return functions[static_cast<std::size_t>(node)]; }
  int Cost() const {
    int n = 0;
    for (const Gate& g : gates) n += g.op.empty() || g.op == "ones" ? 0 : 1;
    return n;
  }
  // Undo everything added after `size` nodes.
  void Truncate(std::size_t size) {
    while (functions.size() > size) {
      index.erase(functions.back());
      functions.pop_back();
      gates.pop_back();
    }
  }
};

// --- 3-input lookup gates: multiplexers on the first three variables of `order`, the rest of the
// function (of the last three variables) one lookup gate.

// The imm8 for which lut(a, b, c) == f, if one exists.
bool LutFor(const Circuit& k, Mask f, int a, int b, int c, unsigned& imm) {
  int table[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  for (unsigned x = 0; x < 64; ++x) {
    const auto i = static_cast<unsigned>((((k.At(a) >> x) & 1U) << 2) |
                                         (((k.At(b) >> x) & 1U) << 1) | ((k.At(c) >> x) & 1U));
    const int v = static_cast<int>((f >> x) & 1U);
    if (table[i] >= 0 && table[i] != v) return false;
    table[i] = v;
  }
  imm = 0;
  for (unsigned i = 0; i < 8; ++i) imm |= (table[i] > 0 ? 1U : 0U) << i;
  return true;
}

// f = lut(v, x, y) where x and y are two of high, low and high ^ low (the cofactors of f on v and
// their difference): whichever pair costs the fewest new gates.
int BuildLut(Circuit& k, Mask f, const std::array<int, 6>& order, int depth) {
  if (k.Has(f)) return k.index.at(f);
  unsigned imm = 0;
  if (depth == 3) {
    LutFor(k, f, order[3], order[4], order[5], imm);
    return k.Add(f, {"lut", order[3], order[4], order[5], imm});
  }
  const int v = order[static_cast<std::size_t>(depth)];
  const Mask low = Cofactor(f, v, false);
  const Mask high = Cofactor(f, v, true);
  if (low == high) return BuildLut(k, low, order, depth + 1);
  const std::array<std::pair<Mask, Mask>, 3> pairs = {
      {{high, low}, {high, high ^ low}, {low, high ^ low}}};
  const std::size_t size = k.functions.size();
  int best = -1;
  int bestCost = 0;
  for (int option = 0; option < 3; ++option) {
    const int x = BuildLut(k, pairs[static_cast<std::size_t>(option)].first, order, depth + 1);
    const int y = BuildLut(k, pairs[static_cast<std::size_t>(option)].second, order, depth + 1);
    const int cost = k.Cost();
    if (best < 0 || cost < bestCost) {
      best = option;
      bestCost = cost;
    }
    (void)x;
    (void)y;
    k.Truncate(size);
  }
  const auto& [first, second] = pairs[static_cast<std::size_t>(best)];
  const int x = BuildLut(k, first, order, depth + 1);
  const int y = BuildLut(k, second, order, depth + 1);
  LutFor(k, f, v, x, y, imm);
  return k.Add(f, {"lut", v, x, y, imm});
}

// The variables f depends on.
std::vector<int> Support(Mask f) {
  std::vector<int> vars;
  for (int i = 0; i < 6; ++i) {
    if (Cofactor(f, i, false) != Cofactor(f, i, true)) vars.push_back(i);
  }
  return vars;
}

// The same with the splitting variable chosen at every node rather than in a fixed order: a
// function of three variables or fewer is one gate; otherwise, for every variable it depends on,
// f = lut(v, x, y) with x and y two of its cofactors and their difference, the cheapest of all.
int BuildLutFree(Circuit& k, Mask f) {
  if (k.Has(f)) return k.index.at(f);
  const std::vector<int> vars = Support(f);
  unsigned imm = 0;
  if (vars.size() <= 3) {
    std::array<int, 3> in{};
    for (std::size_t i = 0; i < 3; ++i) in[i] = i < vars.size() ? vars[i] : 0;
    LutFor(k, f, in[0], in[1], in[2], imm);
    return k.Add(f, {"lut", in[0], in[1], in[2], imm});
  }
  const std::size_t size = k.functions.size();
  int bestVar = -1;
  int bestOption = -1;
  int bestCost = 0;
  for (const int v : vars) {
    const Mask low = Cofactor(f, v, false);
    const Mask high = Cofactor(f, v, true);
    const std::array<std::pair<Mask, Mask>, 3> pairs = {
        {{high, low}, {high, high ^ low}, {low, high ^ low}}};
    for (int option = 0; option < 3; ++option) {
      BuildLutFree(k, pairs[static_cast<std::size_t>(option)].first);
      BuildLutFree(k, pairs[static_cast<std::size_t>(option)].second);
      if (bestVar < 0 || k.Cost() < bestCost) {
        bestVar = v;
        bestOption = option;
        bestCost = k.Cost();
      }
      k.Truncate(size);
    }
  }
  const Mask low = Cofactor(f, bestVar, false);
  const Mask high = Cofactor(f, bestVar, true);
  const std::array<std::pair<Mask, Mask>, 3> pairs = {
      {{high, low}, {high, high ^ low}, {low, high ^ low}}};
  const int x = BuildLutFree(k, pairs[static_cast<std::size_t>(bestOption)].first);
  const int y = BuildLutFree(k, pairs[static_cast<std::size_t>(bestOption)].second);
  LutFor(k, f, bestVar, x, y, imm);
  return k.Add(f, {"lut", bestVar, x, y, imm});
}

// --- two-input gates: multiplexers on the first four variables of `order`, functions of the last
// two made directly; a multiplexer s ? high : low is made in the cheapest of several forms (see
// Mux), or more cheaply still when high or low is simple; a function whose complement is made
// already costs one gate.

int Gate(Circuit& k, const std::string& op, int a, int b) {
  const Mask fa = k.At(a);
  const Mask fb = k.At(b);
  Mask f = 0;
  if (op == "and") f = fa & fb;
  if (op == "or") f = fa | fb;
  if (op == "xor") f = fa ^ fb;
  if (op == "andnot") f = ~fa & fb;
  return k.Add(f, {op, a, b});
}

int Not(Circuit& k, int a) { return Gate(k, "xor", a, k.index.at(kAll)); }

// A function of two variables p and q: one gate, or one gate and a negation.
int BuildPair(Circuit& k, Mask f, int p, int q) {
  if (k.Has(f)) return k.index.at(f);
  const std::size_t size = k.functions.size();
  for (const bool negate : {false, true}) {
    for (const auto& [op, a, b] :
         {std::tuple{"and", p, q}, std::tuple{"or", p, q}, std::tuple{"xor", p, q},
          std::tuple{"andnot", p, q}, std::tuple{"andnot", q, p}}) {
      int g = Gate(k, op, a, b);
      if (negate) g = Not(k, g);
      if (k.At(g) == f) return g;
      k.Truncate(size);
    }
    for (const int v : {p, q}) {
      const int g = Not(k, v);
      if (k.At(g) == f) return g;
      k.Truncate(size);
    }
  }
  std::cerr << "des_sbox_circuits: no gate for a function of two variables\n";
  std::exit(1);
}

int BuildGates(Circuit& k, Mask f, const std::array<int, 6>& order, int depth);

// s ? high : low, choosing the cheapest form.
int Mux(Circuit& k, int s, Mask high, Mask low, const std::array<int, 6>& order, int depth) {
  const Mask ones = kAll;
  if (low == 0) return Gate(k, "and", s, BuildGates(k, high, order, depth));
  if (high == 0) return Gate(k, "andnot", s, BuildGates(k, low, order, depth));
  if (high == ones) return Gate(k, "or", s, BuildGates(k, low, order, depth));
  if (low == ones) return Not(k, Gate(k, "andnot", BuildGates(k, high, order, depth), s));
  if (high == ~low) return Gate(k, "xor", s, BuildGates(k, low, order, depth));
  // The forms below, the cheapest of which stays: four through the difference d = high ^ low or
  // its complement, one through both cofactors, and four of two gates on both cofactors where one
  // of them implies the other.
  const Mask d = high ^ low;
  const auto build = [&](Mask g) { return BuildGates(k, g, order, depth); };
  // op(first, inner(s, second)) or, with `sFirst` false, op(first, inner(second, s)), the
  // operands made in that order (the order of a call's arguments is unspecified, and the nodes'
  // numbers and so the output depend on it).
  const auto form = [&](const char* op, Mask first, const char* inner, Mask second, bool sFirst) {
    const int a = build(first);
    const int b = build(second);
    return Gate(k, op, a, sFirst ? Gate(k, inner, s, b) : Gate(k, inner, b, s));
  };
  const std::vector<std::function<int()>> forms = {
      [&] { return form("xor", low, "and", d, true); },      // low ^ (s & d)
      [&] { return form("xor", high, "andnot", d, true); },  // high ^ (~s & d)
      [&] {                                                  // (s & high) | (~s & low)
        const int h = Gate(k, "and", s, build(high));
        const int l = Gate(k, "andnot", s, build(low));
        return Gate(k, "or", h, l);
      },
      [&] { return form("xor", low, "andnot", ~d, false); },  // low ^ (~~d & s)
      [&] { return form("xor", ~high, "or", ~d, true); },     // ~high ^ (s | ~d)
      [&] {  // low | (s & high) where low implies high
        return (low & ~high) == 0 ? form("or", low, "and", high, true) : -1;
      },
      [&] {  // high | (~s & low) where high implies low
        return (high & ~low) == 0 ? form("or", high, "andnot", low, true) : -1;
      },
      [&] {  // high & (s | low) where low implies high
        return (low & ~high) == 0 ? form("and", high, "or", low, true) : -1;
      },
      [&] {  // low & ~(s & ~high) where high implies low
        if ((high & ~low) != 0) return -1;
        const int l = build(low);
        const int h = build(high);
        return Gate(k, "andnot", Gate(k, "andnot", h, s), l);
      },
  };
  const std::size_t size = k.functions.size();
  std::size_t best = 0;
  int bestCost = -1;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    const int made = forms[i]();
    if (made >= 0 && (bestCost < 0 || k.Cost() < bestCost)) {
      best = i;
      bestCost = k.Cost();
    }
    k.Truncate(size);
  }
  return forms[best]();
}

int BuildGates(Circuit& k, Mask f, const std::array<int, 6>& order, int depth) {
  if (k.Has(f)) return k.index.at(f);
  if (k.Has(~f)) return Not(k, k.index.at(~f));
  if (depth == 4) return BuildPair(k, f, order[4], order[5]);
  const int v = order[static_cast<std::size_t>(depth)];
  const Mask low = Cofactor(f, v, false);
  const Mask high = Cofactor(f, v, true);
  if (low == high) return BuildGates(k, low, order, depth + 1);
  return Mux(k, v, high, low, order, depth + 1);
}

// The circuit of one box: the best order of the variables for its four outputs together, then
// the best order in which to make the outputs.
template <class Build>
Circuit BestCircuit(int box, const Build& build, std::array<int, 4>& outputs) {
  std::array<int, 6> order{0, 1, 2, 3, 4, 5};
  std::array<int, 6> bestOrder{};
  Circuit best;
  int bestCost = -1;
  const auto tryOrder = [&](const std::array<int, 4>& turn) {
    Circuit k;
    std::array<int, 4> made{};
    for (const int o : turn)
      made[static_cast<std::size_t>(o)] = build(k, OutputMask(box, o), order);
    if (bestCost < 0 || k.Cost() < bestCost) {
      bestCost = k.Cost();
      best = k;
      bestOrder = order;
      outputs = made;
    }
  };
  do {
    tryOrder({0, 1, 2, 3});
  } while (std::next_permutation(order.begin(), order.end()));
  // The outputs made in every other order too, with the best order of the variables: an output
  // made later can reuse more of the others.
  order = bestOrder;
  std::array<int, 4> turn{0, 1, 2, 3};
  while (std::next_permutation(turn.begin(), turn.end())) tryOrder(turn);
  return best;
}

std::string Name(const Circuit& k, int node) {
  if (node < 6) return "x" + std::to_string(node);
  if (k.At(node) == kAll) return "Ops::Ones()";
  if (k.At(node) == 0) return "Ops::Zero()";
  return "t" + std::to_string(node);
}

void Emit(std::ostream& out, const std::string& name, int box, const Circuit& k,
          const std::array<int, 4>& outputs) {
  for (int o = 0; o < 4; ++o) {
    if (k.At(outputs[static_cast<std::size_t>(o)]) != OutputMask(box, o)) {
      std::cerr << "des_sbox_circuits: " << name << box << " output " << o << " is wrong\n";
      std::exit(1);
    }
  }
  out << "// S" << box + 1 << ": " << k.Cost() << " gates.\n"
      << "template <class Ops, class V>\ninline void " << name << box
      << "(V x0, V x1, V x2, V x3, V x4, V x5, V& y0, V& y1, V& y2, V& y3) {\n";
  for (std::size_t i = 6; i < k.gates.size(); ++i) {
    const auto& g = k.gates[i];
    if (g.op.empty() || g.op == "ones") continue;
    const std::string t = Name(k, static_cast<int>(i));
    out << "  const V " << t << " = ";
    if (g.op == "lut") {
      out << "Ops::template Lut<0x" << std::hex << g.imm << std::dec << ">(" << Name(k, g.a) << ", "
          << Name(k, g.b) << ", " << Name(k, g.c) << ");\n";
    } else {
      const std::string op = g.op == "and"   ? "And"
                             : g.op == "or"  ? "Or"
                             : g.op == "xor" ? "Xor"
                                             : "AndNot";
      out << "Ops::" << op << "(" << Name(k, g.a) << ", " << Name(k, g.b) << ");\n";
    }
  }
  for (int o = 0; o < 4; ++o) {
    out << "  y" << o << " = " << Name(k, outputs[static_cast<std::size_t>(o)]) << ";\n";
  }
  out << "}\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: des_sbox_circuits OUT.h\n";
    return 2;
  }
  std::ostringstream out;
  out << "// Generated by tools/des_sbox_circuits.cpp from the S-boxes of\n"
         "// ansicrypt/cipher/detail/des_tables.h (the test des_sbox_circuits_regenerate checks "
         "it);\n"
         "// do not edit. Ops supplies And, Or, Xor, AndNot (~a & b), Lut<imm>(a, b, c) (bit\n"
         "// (a b c) of imm), Zero and Ones.\n"
         "#pragma once\n\nnamespace ansicrypt::detail {\n\n// clang-format off\n";
  for (int box = 0; box < 8; ++box) {
    std::array<int, 4> outputs{};
    Circuit k = BestCircuit(
        box,
        [](Circuit& c, Mask f, const std::array<int, 6>& order) {
          return BuildLut(c, f, order, 0);
        },
        outputs);
    // The free choice of variables, for every order of the outputs, where it needs fewer gates.
    std::array<int, 4> turn{0, 1, 2, 3};
    do {
      Circuit free;
      std::array<int, 4> made{};
      for (const int o : turn) {
        made[static_cast<std::size_t>(o)] = BuildLutFree(free, OutputMask(box, o));
      }
      if (free.Cost() < k.Cost()) {
        k = free;
        outputs = made;
      }
    } while (std::next_permutation(turn.begin(), turn.end()));
    Emit(out, "SBoxLut", box, k, outputs);
  }
  for (int box = 0; box < 8; ++box) {
    std::array<int, 4> outputs{};
    const Circuit k = BestCircuit(
        box,
        [](Circuit& c, Mask f, const std::array<int, 6>& order) {
          return BuildGates(c, f, order, 0);
        },
        outputs);
    Emit(out, "SBoxGates", box, k, outputs);
  }
  out << "// clang-format on\n\n}  // namespace ansicrypt::detail\n";
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << out.str();
  file.close();
  if (!file) {
    std::cerr << "des_sbox_circuits: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
