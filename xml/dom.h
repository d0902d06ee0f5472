#pragma once
// Everything a reader of documents needs: the implementation that owns them,
// the node classes, lists, maps and the tree walker.
#include "xml/dom_attr.h"
#include "xml/dom_character_data.h"
#include "xml/dom_document.h"
#include "xml/dom_document_type.h"
#include "xml/dom_element.h"
#include "xml/dom_exceptions.h"
#include "xml/dom_implementation.h"
#include "xml/dom_named_node_map.h"
#include "xml/dom_node.h"
#include "xml/dom_node_list.h"
#include "xml/dom_tree_walker.h"
#include "xml/dtd_nodes.h"
